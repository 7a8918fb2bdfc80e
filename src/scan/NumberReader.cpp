#include "scan/NumberReader.h"

#include <charconv>
#include <string>
#include <system_error>

namespace brisolant {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when `separator` is non-empty and stands at `pos` of `text`.
bool SeparatorAt(std::string_view text, std::size_t pos, const std::string& separator) {
    return !separator.empty() && text.substr(pos, separator.size()) == separator;
}

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Rewrites a number in the locale's form into the plain form std::from_chars reads
// ("-1234.5e3"), or returns false when the text is not such a number.
bool NormaliseNumber(std::string_view text, const LocaleFormat& locale, std::string& plain) {
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') {
            plain += '-';
        }
        ++pos;
    }
    std::size_t mantissaDigits = 0;
    while (pos < text.size()) {
        if (IsDigit(text[pos])) {
            plain += text[pos++];
            ++mantissaDigits;
        } else if (SeparatorAt(text, pos, locale.decimal)) {
            break;
        } else if (mantissaDigits > 0 && SeparatorAt(text, pos, locale.grouping)) {
            pos += locale.grouping.size();
        } else {
            break;
        }
    }
    if (SeparatorAt(text, pos, locale.decimal)) {
        pos += locale.decimal.size();
        plain += '.';
        while (pos < text.size() && IsDigit(text[pos])) {
            plain += text[pos++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return false;
    }
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        plain += 'e';
        ++pos;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            plain += text[pos++];
        }
        std::size_t exponentDigits = 0;
        while (pos < text.size() && IsDigit(text[pos])) {
            plain += text[pos++];
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return pos == text.size();
}

}  // namespace

NumberReading ReadNumber(std::string_view text, const LocaleFormat& locale, double& value) {
    std::string plain;
    if (!NormaliseNumber(TrimBlanks(text), locale, plain)) {
        return NumberReading::NotANumber;
    }
    double read = 0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), read);
    if (error == std::errc::result_out_of_range) {
        return NumberReading::OutOfRange;
    }
    if (error != std::errc() || end != plain.data() + plain.size()) {
        return NumberReading::NotANumber;
    }
    value = read;
    return NumberReading::Read;
}

}  // namespace brisolant
