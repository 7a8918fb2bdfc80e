#include "common/Failure.h"

#include <algorithm>
#include <array>

namespace brisolant {

namespace {

struct FailureRow {
    FailureCode code;
    LogPriority priority;
    FailurePart part;
    std::string_view text;
};

constexpr FailureRow kRows[] = {
#define FAILURE(code, number, priority, part, text) \
    {FailureCode::code, LogPriority::priority, FailurePart::part, text},
#include "common/FailureRows.inc"
#undef FAILURE
};

constexpr auto kCodes = [] {
    std::array<FailureCode, std::size(kRows)> codes{};
    std::ranges::transform(kRows, codes.begin(), &FailureRow::code);
    return codes;
}();

// An enum value outside the table (a cast from a number) still reads as a failure.
constexpr FailureRow kUnknown{FailureCode::Unexpected, LogPriority::Error, FailurePart::Any,
                              "Unknown failure"};

const FailureRow& RowOf(FailureCode code) {
    const auto* row = std::ranges::find(kRows, code, &FailureRow::code);
    return row == std::end(kRows) ? kUnknown : *row;
}

std::string Describe(FailureCode code, std::string_view detail) {
    std::string text(FailureDescription(code));
    if (!detail.empty()) {
        text += ": ";
        text += detail;
    }
    return text;
}

}  // namespace

std::span<const FailureCode> AllFailureCodes() {
    return kCodes;
}

std::string_view FailureDescription(FailureCode code) {
    return RowOf(code).text;
}

LogPriority FailurePriority(FailureCode code) {
    return RowOf(code).priority;
}

FailurePart FailurePartOf(FailureCode code) {
    return RowOf(code).part;
}

std::string_view FailurePartName(FailurePart part) {
    switch (part) {
        case FailurePart::Scan:
            return "scan";
        case FailurePart::Device:
            return "device";
        case FailurePart::Store:
            return "store";
        case FailurePart::Recorder:
            return "recorder";
        case FailurePart::Settings:
            return "settings";
        case FailurePart::Headless:
            return "headless";
        case FailurePart::Any:
            break;
    }
    return "any";
}

Failure::Failure(FailureCode code, std::string_view detail)
    : std::runtime_error(Describe(code, detail)),
      code_(code),
      description_(what()),
      detail_(detail) {}

std::string StatusText(const Failure& failure) {
    return "Status: " + std::to_string(failure.number()) + " " + failure.description();
}

}  // namespace brisolant
