#pragma once

#include <string_view>

#include "common/LocaleFormat.h"

namespace brisolant {

enum class NumberReading { Read, NotANumber, OutOfRange };

// ToNumber without the throw, for callers that only probe what the locale reads: the forms are
// the same, and `value` is set only when the text is read.
NumberReading ReadNumber(std::string_view text, const LocaleFormat& locale, double& value);

}  // namespace brisolant
