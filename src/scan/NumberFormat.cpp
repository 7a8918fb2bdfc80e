#include "scan/NumberFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "common/Failure.h"
#include "scan/NumberReader.h"

namespace brisolant {

namespace {

void RequireFinite(double value) {
    if (!std::isfinite(value)) {
        throw Failure(FailureCode::NumberOverflow);
    }
}

// The value rounded to `decimals` places, halves away from zero, as plain text with a "."
// ("-12.50"). Rounding starts from the value's 15 significant digits, so 2.675 gives 2.68 as a
// person reading the number expects, not the 2.67 its binary form would give.
std::string RoundedPlainText(double value, int decimals) {
    RequireFinite(value);
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                   std::chars_format::scientific, 14)
                         .ptr;
    const std::string_view scientific(buffer, static_cast<std::size_t>(end - buffer));
    const std::size_t e = scientific.find('e');
    int exponent = 0;
    std::from_chars(scientific.data() + e + 1 + (scientific[e + 1] == '+'), end, exponent);
    std::string digits;
    for (char c : scientific.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    // digits[0] stands for 10^exponent; pad so that every integer place and the kept decimals
    // exist, with one more place to decide the rounding.
    const int integerPlaces = std::max(exponent + 1, 1);
    if (exponent < 0) {
        digits.insert(0, static_cast<std::size_t>(-exponent), '0');
    }
    const std::size_t kept = static_cast<std::size_t>(integerPlaces + decimals);
    if (digits.size() < kept + 1) {
        digits.resize(kept + 1, '0');
    }
    const bool roundUp = digits[kept] >= '5';
    digits.resize(kept);
    if (roundUp) {
        std::size_t i = kept;
        while (i > 0 && digits[i - 1] == '9') {
            digits[--i] = '0';
        }
        if (i == 0) {
            digits.insert(0, 1, '1');
        } else {
            ++digits[i - 1];
        }
    }
    if (decimals > 0) {
        digits.insert(digits.size() - static_cast<std::size_t>(decimals), 1, '.');
    }
    const bool zero = digits.find_first_not_of("0.") == std::string::npos;
    if (value < 0 && !zero) {
        digits.insert(0, 1, '-');
    }
    return digits;
}

}  // namespace

double ToNumber(std::string_view text, const LocaleFormat& locale) {
    double value = 0;
    switch (ReadNumber(text, locale, value)) {
        case NumberReading::Read:
            return value;
        case NumberReading::OutOfRange:
            throw Failure(FailureCode::NumberOverflow, "\"" + std::string(text) + "\"");
        case NumberReading::NotANumber:
            break;
    }
    throw Failure(FailureCode::NotANumber, "\"" + std::string(text) + "\"");
}

std::string NumberText(double value, const LocaleFormat& locale) {
    RequireFinite(value);
    if (value == 0) {
        return "0";  // also for -0
    }
    char buffer[32];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15).ptr;
    std::string text(buffer, end);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) {
        text.replace(point, 1, locale.decimal);
    }
    return text;
}

std::string FixedTwoText(double value, const LocaleFormat& locale) {
    std::string text = RoundedPlainText(value, 2);
    text.replace(text.find('.'), 1, locale.decimal);
    return text;
}

double RoundedToTwoPlaces(double value) {
    const std::string text = RoundedPlainText(value, 2);
    double rounded = 0;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    return rounded;
}

std::string GroupedText(double value, const LocaleFormat& locale) {
    const std::string plain = RoundedPlainText(value, 0);
    const std::size_t firstDigit = plain[0] == '-' ? 1 : 0;
    std::string text = plain.substr(0, firstDigit);
    for (std::size_t i = firstDigit; i < plain.size(); ++i) {
        const std::size_t placesLeft = plain.size() - i;
        if (i > firstDigit && placesLeft % 3 == 0) {
            text += locale.grouping;
        }
        text += plain[i];
    }
    return text;
}

}  // namespace brisolant
