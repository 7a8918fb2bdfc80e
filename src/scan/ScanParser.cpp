#include "scan/ScanParser.h"

#include <string>

#include "common/Failure.h"

namespace brisolant {

namespace {

// Positions in a scan count from 1 and must fit in 16 signed bits.
constexpr std::size_t kLastPosition = 32767;

struct Label {
    std::string_view text;
    std::size_t offset;  // from the label's first character to the value's
    FixedText ScanRecord::*field;
};

// "Device Number:" is followed by one character that is never read.
constexpr Label kLabels[] = {
    {"Device Number:", 15, &ScanRecord::DeviceNumber},
    {"Length:", 7, &ScanRecord::Length},
    {"Width:", 6, &ScanRecord::Width},
    {"Height:", 7, &ScanRecord::Height},
    {"Gross Weight:", 13, &ScanRecord::GrossWeight},
    {"Dimensional Weight:", 19, &ScanRecord::DimWeight},
    {"Dimensional Factor:", 19, &ScanRecord::DimFactor},
    {"Barcode:", 8, &ScanRecord::Barcode},
};

void RequirePosition(std::size_t position) {
    if (position > kLastPosition) {
        throw Failure(FailureCode::ScanTooLong);
    }
}

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

void ParseScanText(std::string_view text, ScanRecord& record) {
    for (const Label& label : kLabels) {
        const std::size_t labelIndex = text.find(label.text);
        if (labelIndex == std::string_view::npos) {
            continue;
        }
        RequirePosition(labelIndex + 1);
        const std::size_t valueIndex = labelIndex + label.offset;
        RequirePosition(valueIndex + 1);
        const std::size_t endIndex = text.find("\r\n", valueIndex);
        if (endIndex == std::string_view::npos) {
            throw Failure(FailureCode::ScanLineEndMissing, "\"" + std::string(label.text) + "\"");
        }
        RequirePosition(endIndex + 1);
        (record.*label.field).Set(TrimSpaces(text.substr(valueIndex, endIndex - valueIndex)));
    }
}

}  // namespace brisolant
