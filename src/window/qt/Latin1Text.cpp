#include "window/qt/Latin1Text.h"

#include <QList>

namespace brisolant {

std::string ToLatin1(const QString& text) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    // Whole code points, so a character beyond the basic plane gives one "?", not two.
    for (char32_t c : text.toUcs4()) {
        bytes.push_back(c <= 0xFF ? static_cast<char>(static_cast<unsigned char>(c)) : '?');
    }
    return bytes;
}

}  // namespace brisolant
