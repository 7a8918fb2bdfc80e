#include "settings/SettingConversions.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "common/Failure.h"
#include "settings/ProfileText.h"

namespace brisolant {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool SameWord(std::string_view text, std::string_view lowerWord) {
    if (text.size() != lowerWord.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != lowerWord[i]) {
            return false;
        }
    }
    return true;
}

// The number a text spells in the plain form the dialog writes: optional sign, digits with an
// optional decimal point, optional exponent ("-1", "2.5", "1e3"). The file is the same on every
// machine, so the user's locale plays no part.
std::optional<double> PlainNumber(std::string_view text) {
    text = TrimProfileBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan", which are no numbers here.
    if (text.empty() || !(IsDigit(text.front()) || text.front() == '.')) {
        return std::nullopt;
    }
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (stop != end || error == std::errc::invalid_argument) {
        return std::nullopt;
    }
    if (error == std::errc::result_out_of_range) {
        // Beyond what a double holds: either far too large or a hair above zero.
        const std::size_t exponent = text.find_first_of("eE");
        const bool tiny = exponent != std::string_view::npos && exponent + 1 < text.size() &&
                          text[exponent + 1] == '-';
        value = tiny ? std::numeric_limits<double>::denorm_min()
                     : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

double RoundHalfToEven(double value) {
    if (std::abs(value - std::trunc(value)) == 0.5) {
        return 2.0 * std::round(value / 2.0);
    }
    return std::round(value);
}

}  // namespace

bool SettingBoolean(std::string_view text) {
    const std::string_view word = TrimProfileBlanks(text);
    if (SameWord(word, "true")) {
        return true;
    }
    if (SameWord(word, "false")) {
        return false;
    }
    const auto number = PlainNumber(word);
    if (!number) {
        throw Failure(FailureCode::SettingTypeMismatch);
    }
    return *number != 0.0;
}

std::int16_t SettingInteger(std::string_view text) {
    const auto number = PlainNumber(text);
    if (!number) {
        throw Failure(FailureCode::SettingTypeMismatch);
    }
    const double rounded = RoundHalfToEven(*number);
    if (!(rounded >= std::numeric_limits<std::int16_t>::min() &&
          rounded <= std::numeric_limits<std::int16_t>::max())) {
        throw Failure(FailureCode::SettingOverflow);
    }
    return static_cast<std::int16_t>(rounded);
}

}  // namespace brisolant
