#include "common/PrintableText.h"

namespace brisolant {

std::string Printable(std::string_view text) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    std::string printable;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            printable += "\\x";
            printable += kDigits[byte >> 4];
            printable += kDigits[byte & 0xF];
        } else {
            printable += c;
        }
    }
    return printable;
}

}  // namespace brisolant
