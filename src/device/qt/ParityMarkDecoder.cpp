#include "device/qt/ParityMarkDecoder.h"

namespace brisolant {

std::string ParityMarkDecoder::Decode(std::string_view raw) {
    constexpr char kMark = '\377';
    std::string data = pending_;
    data.append(raw);
    pending_.clear();

    std::string text;
    text.reserve(data.size());
    std::size_t i = 0;
    while (i < data.size()) {
        if (data[i] != kMark) {
            text.push_back(data[i++]);
        } else if (i + 1 >= data.size() || (data[i + 1] == '\0' && i + 2 >= data.size())) {
            pending_ = data.substr(i);
            break;
        } else if (data[i + 1] == kMark) {
            text.push_back(kMark);
            i += 2;
        } else if (data[i + 1] == '\0') {
            text.push_back('?');
            i += 3;
        } else {
            // Not a mark the driver makes; pass the byte on as it came.
            text.push_back(data[i++]);
        }
    }
    return text;
}

}  // namespace brisolant
