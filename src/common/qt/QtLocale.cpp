#include "common/qt/QtLocale.h"

#include <string>

namespace brisolant {
namespace {

// A one-character separator in Latin-1, or the fallback.
std::string Separator(const QString& text, const std::string& fallback) {
    if (text.size() != 1) {
        return fallback;
    }
    const QChar c = text.front();
    if (c.unicode() <= 0xFF) {
        return std::string(1, static_cast<char>(c.unicode()));
    }
    // French and others group with a narrow no-break space.
    return c.isSpace() ? std::string("\xA0") : fallback;
}

// The first character of a date or time format that is neither a field letter nor a blank:
// "M/d/yy" gives "/", "dd.MM.yy" gives ".", "HH:mm" gives ":".
QString FormatSeparator(const QString& format) {
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted && !c.isLetter() && !c.isSpace()) {
            return QString(c);
        }
    }
    return {};
}

}  // namespace

LocaleFormat LocaleFormatFrom(const QLocale& locale) {
    const LocaleFormat fallback = EnglishUnitedStates();
    LocaleFormat format;
    format.decimal = Separator(locale.decimalPoint(), fallback.decimal);
    format.grouping = Separator(locale.groupSeparator(), fallback.grouping);
    if (format.grouping == format.decimal) {
        format.grouping = format.decimal == "," ? "." : ",";
    }
    format.dateSeparator =
        Separator(FormatSeparator(locale.dateFormat(QLocale::ShortFormat)), fallback.dateSeparator);
    format.timeSeparator =
        Separator(FormatSeparator(locale.timeFormat(QLocale::ShortFormat)), fallback.timeSeparator);
    return format;
}

}  // namespace brisolant
