#include "settings/ProfileText.h"

#include <algorithm>

namespace brisolant {

namespace {

constexpr std::string_view kLineEnds = "\r\n";
constexpr std::string_view kNewLine = "\r\n";
// Editors that save "UTF-8 with BOM" put these bytes before the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Where the first line begins: after a byte-order mark, which stays in the file untouched.
std::size_t FirstLineBegin(std::string_view text) {
    return text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

// One line of the text: [begin, end) is its content, next the start of the line after it.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;

    bool Terminated() const { return next > end; }
};

Line LineAt(std::string_view text, std::size_t begin) {
    const std::size_t end = text.find_first_of(kLineEnds, begin);
    if (end == std::string_view::npos) {
        return {begin, text.size(), text.size()};
    }
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') {
        ++next;
    }
    return {begin, end, next};
}

std::string_view Content(std::string_view text, const Line& line) {
    return text.substr(line.begin, line.end - line.begin);
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    a = TrimProfileBlanks(a);
    b = TrimProfileBlanks(b);
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

// The name between the brackets of a header line; nothing for any other line.
std::optional<std::string_view> HeaderName(std::string_view content) {
    content = TrimProfileBlanks(content);
    if (content.empty() || content.front() != '[') {
        return std::nullopt;
    }
    const std::size_t close = content.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return content.substr(1, close - 1);
}

bool IsEntryOf(std::string_view content, std::string_view key) {
    const std::size_t equals = content.find('=');
    return equals != std::string_view::npos && SameName(content.substr(0, equals), key);
}

std::string EntryValue(std::string_view content) {
    std::string_view value = TrimProfileBlanks(content.substr(content.find('=') + 1));
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::optional<Line> FindHeader(std::string_view text, std::string_view section) {
    for (std::size_t pos = FirstLineBegin(text); pos < text.size();) {
        const Line line = LineAt(text, pos);
        const auto name = HeaderName(Content(text, line));
        if (name && SameName(*name, section)) {
            return line;
        }
        pos = line.next;
    }
    return std::nullopt;
}

struct SectionScan {
    std::optional<Line> entry;  // the first entry of the key
    Line last;                  // the last line that is not blank, the header included
};

SectionScan ScanSection(std::string_view text, const Line& header, std::string_view key) {
    SectionScan scan{std::nullopt, header};
    for (std::size_t pos = header.next; pos < text.size();) {
        const Line line = LineAt(text, pos);
        const std::string_view content = Content(text, line);
        if (HeaderName(content)) {
            break;
        }
        if (!scan.entry && IsEntryOf(content, key)) {
            scan.entry = line;
        }
        if (!TrimProfileBlanks(content).empty()) {
            scan.last = line;
        }
        pos = line.next;
    }
    return scan;
}

bool EndsWithLineEnd(std::string_view text) {
    return !text.empty() && (text.back() == '\r' || text.back() == '\n');
}

bool LastLineIsBlank(std::string_view text) {
    text.remove_prefix(FirstLineBegin(text));
    if (text.ends_with(kNewLine)) {
        text.remove_suffix(kNewLine.size());
    } else if (EndsWithLineEnd(text)) {
        text.remove_suffix(1);
    }
    const std::size_t lastEnd = text.find_last_of(kLineEnds);
    const std::size_t lastBegin = lastEnd == std::string_view::npos ? 0 : lastEnd + 1;
    return TrimProfileBlanks(text.substr(lastBegin)).empty();
}

std::string WithSectionAppended(std::string_view text, std::string_view section,
                                const std::string& entry) {
    std::string result(text);
    if (result.size() > FirstLineBegin(text) && !EndsWithLineEnd(result)) {
        result += kNewLine;
    }
    // A blank line keeps the sections apart for whoever edits the file by hand.
    if (!LastLineIsBlank(text)) {
        result += kNewLine;
    }
    result += "[";
    result += TrimProfileBlanks(section);
    result += "]";
    result += kNewLine;
    result += entry;
    result += kNewLine;
    return result;
}

bool HasLineEnd(std::string_view text) {
    return text.find_first_of(kLineEnds) != std::string_view::npos;
}

}  // namespace

std::string_view TrimProfileBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
    const auto header = FindHeader(text, section);
    if (!header) {
        return std::nullopt;
    }
    const SectionScan scan = ScanSection(text, *header, key);
    if (!scan.entry) {
        return std::nullopt;
    }
    return EntryValue(Content(text, *scan.entry));
}

std::string ProfileValueOrDefault(const std::optional<std::string>& content,
                                  std::string_view section, std::string_view key,
                                  std::string_view defaultValue) {
    std::optional<std::string> value;
    if (content) {
        value = FindProfileValue(*content, section, key);
    }
    std::string result = value ? std::move(*value) : std::string(defaultValue);
    CutToProfileLimit(result);
    return result;
}

bool CutToProfileLimit(std::string& text) {
    if (text.size() <= kProfileValueLimit) {
        return false;
    }
    text.resize(kProfileValueLimit);
    return true;
}

bool CanStoreProfileValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::string_view sectionName = TrimProfileBlanks(section);
    const std::string_view keyName = TrimProfileBlanks(key);
    return !sectionName.empty() && !keyName.empty() && !HasLineEnd(section) && !HasLineEnd(key) &&
           !HasLineEnd(value) && sectionName.find(']') == std::string_view::npos &&
           keyName.find('=') == std::string_view::npos && keyName.front() != '[';
}

// A value that a read would not give back whole (blanks at its ends, which a read trims, or quotes
// around it, which a read takes off) is stored between quotes: a tab as FileDelimiter stays one.
std::string StoredForm(std::string_view value) {
    const bool quoted = value.size() >= 2 && value.front() == value.back() &&
                        (value.front() == '"' || value.front() == '\'');
    if (quoted || TrimProfileBlanks(value).size() != value.size()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

std::string WithProfileValue(std::string_view text, std::string_view section, std::string_view key,
                             std::string_view stored) {
    const std::string value = StoredForm(stored);
    const std::string entry = std::string(TrimProfileBlanks(key)) + "=" + value;
    const auto header = FindHeader(text, section);
    if (!header) {
        return WithSectionAppended(text, section, entry);
    }
    const SectionScan scan = ScanSection(text, *header, key);
    std::string result(text);
    if (scan.entry) {
        // The stored key name, its letter case included, stays; only the value changes.
        const std::size_t valueBegin = scan.entry->begin + Content(text, *scan.entry).find('=') + 1;
        result.replace(valueBegin, scan.entry->end - valueBegin, value);
        return result;
    }
    std::string inserted = scan.last.Terminated() ? "" : std::string(kNewLine);
    inserted += entry;
    inserted += kNewLine;
    result.insert(scan.last.next, inserted);
    return result;
}

}  // namespace brisolant
