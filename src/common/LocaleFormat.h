#pragma once

#include <string>

namespace brisolant {

// The separators of the user's locale, handed to the core as a plain value so that tests can
// use any locale. Texts are in the program's 8-bit character set, like every core text.
struct LocaleFormat {
    std::string decimal = ".";
    std::string grouping = ",";
    std::string dateSeparator = "/";
    std::string timeSeparator = ":";
};

// Where the locale offers nothing the program can use, these serve.
inline LocaleFormat EnglishUnitedStates() {
    return {};
}

}  // namespace brisolant
