#pragma once

#include <QLocale>

#include "common/LocaleFormat.h"

namespace brisolant {

// The separators of a Qt locale in the program's 8-bit form. A separator Latin-1 cannot hold
// is replaced: a space-like one by the no-break space, any other by the usual "." "," "/" ":".
LocaleFormat LocaleFormatFrom(const QLocale& locale);

// The user's locale, as LANG and LC_ALL set it.
inline LocaleFormat SystemLocaleFormat() {
    return LocaleFormatFrom(QLocale::system());
}

}  // namespace brisolant
