#include "device/ScanOpening.h"

#include <algorithm>

namespace brisolant {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFirstLabel = "Device Number:";

// The position after the run of `c` that starts at `at`.
std::size_t SkipRun(std::string_view text, std::size_t at, char c) {
    while (at < text.size() && text[at] == c) {
        ++at;
    }
    return at;
}

// The position of the run of `c` that ends right before `end`.
std::size_t RunStart(std::string_view text, std::size_t end, char c) {
    while (end > 0 && text[end - 1] == c) {
        --end;
    }
    return end;
}

}  // namespace

std::vector<std::size_t> ScanOpenings(std::string_view text) {
    std::vector<std::size_t> openings;
    for (std::size_t label = text.find(kFirstLabel); label != std::string_view::npos;
         label = text.find(kFirstLabel, label + kFirstLabel.size())) {
        const std::size_t lineStart = RunStart(text, label, ' ');
        if (lineStart < kLineEnd.size() + 1 ||
            text.substr(lineStart - kLineEnd.size(), kLineEnd.size()) != kLineEnd) {
            continue;
        }
        const std::size_t dashesEnd = lineStart - kLineEnd.size();
        const std::size_t dashes = RunStart(text, dashesEnd, '-');
        if (dashes < dashesEnd) {
            openings.push_back(dashes);
        }
    }
    return openings;
}

bool BeginsWithScanOpening(std::string_view text) {
    const std::size_t dashes = SkipRun(text, 0, ' ');
    const std::size_t dashesEnd = SkipRun(text, dashes, '-');
    if (dashesEnd == dashes || text.substr(dashesEnd, kLineEnd.size()) != kLineEnd) {
        return false;
    }
    const std::size_t label = SkipRun(text, dashesEnd + kLineEnd.size(), ' ');
    return text.substr(label).starts_with(kFirstLabel);
}

bool HoldsScanText(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

}  // namespace brisolant
