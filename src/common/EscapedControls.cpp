#include "common/EscapedControls.h"

namespace brisolant {

std::string EscapedControls(std::string_view text) {
    constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    for (const char character : text) {
        const auto byte = static_cast<unsigned char>(character);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0x0F];
        } else {
            shown += character;
        }
    }
    return shown;
}

}  // namespace brisolant
