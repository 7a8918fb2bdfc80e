#pragma once

#include <cstdint>
#include <string_view>

namespace brisolant {

// A Boolean key's text: a number (true when not zero) or the words True and False in any letter
// case, blanks around it allowed. Anything else, the empty text included, throws
// Failure(SettingTypeMismatch).
bool SettingBoolean(std::string_view text);

// A 16-bit integer key's text: a number, rounded to the nearest whole number with halves going to
// the even one. Throws Failure(SettingOverflow) outside -32768 to 32767 and
// Failure(SettingTypeMismatch) for text that is not a number.
std::int16_t SettingInteger(std::string_view text);

}  // namespace brisolant
