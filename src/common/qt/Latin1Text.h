#pragma once

#include <QString>
#include <string>

namespace brisolant {

// Texts cross between the core and the widgets in the program's 8-bit form (Latin-1).
inline QString FromLatin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Status texts can name files and folders, whose names are UTF-8 on Linux; a text that is not
// valid UTF-8 (a station's bytes, say) is shown as Latin-1.
QString FromStatusText(const std::string& text);

// One byte per character; a character Latin-1 cannot hold becomes "?".
std::string ToLatin1(const QString& text);

}  // namespace brisolant
