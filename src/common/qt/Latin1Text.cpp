#include "common/qt/Latin1Text.h"

#include <QList>
#include <QStringDecoder>

namespace brisolant {

QString FromStatusText(const std::string& text) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    return utf8.hasError() ? FromLatin1(text) : decoded;
}

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
