#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/LocaleFormat.h"

namespace brisolant {

// Text to number in the user's locale: blanks at both ends ignored, optional sign, grouping
// separators skipped among the integer digits, the locale's decimal separator, optional
// exponent. Anything else, the empty text included, throws Failure(NotANumber).
double ToNumber(std::string_view text, const LocaleFormat& locale);

// Number to text: 15 significant digits, no grouping, no trailing zeros ("11", "22.8", "0.5").
std::string NumberText(double value, const LocaleFormat& locale);

// The mask "0.00": two decimals, halves away from zero.
std::string FixedTwoText(double value, const LocaleFormat& locale);

// The number FixedTwoText shows: the value rounded to two places the same way.
double RoundedToTwoPlaces(double value);

// The mask "#,##0": a whole number grouped by threes.
std::string GroupedText(double value, const LocaleFormat& locale);

}  // namespace brisolant
