#include "store/OutboxFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <vector>

#include "store/JournalFormat.h"

namespace brisolant {

namespace {

constexpr std::size_t kHeader = 1 + 8 + 1;  // letter, check, blank
// Far beyond any record the program writes: a count or length past these is damage.
constexpr std::uint64_t kMostFields = 256;
constexpr std::uint64_t kMostBytes = 1024 * 1024;

using Field = std::string CentralRecord::*;
constexpr std::array<Field, 14> kFields{
    &CentralRecord::station,      &CentralRecord::arrivedAt,  &CentralRecord::device,
    &CentralRecord::length,       &CentralRecord::width,      &CentralRecord::height,
    &CentralRecord::grossWeight,  &CentralRecord::dimWeight,  &CentralRecord::dimFactor,
    &CentralRecord::lengthUnit,   &CentralRecord::weightUnit, &CentralRecord::barcode,
    &CentralRecord::operatorText, &CentralRecord::line,
};

// Reads decimal numbers and texts from a record's body; any fault makes it fail for good.
class BodyReader {
  public:
    explicit BodyReader(std::string_view text) : text_(text) {}

    std::uint64_t Number(char after) {
        std::uint64_t value = 0;
        if (!ok_) {
            return 0;
        }
        const char* first = text_.data() + at_;
        const char* last = text_.data() + text_.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end == first || end == last || *end != after) {
            ok_ = false;
            return 0;
        }
        at_ += static_cast<std::size_t>(end - first) + 1;
        return value;
    }

    std::string_view Text(std::uint64_t length) {
        if (!ok_ || length > text_.size() - at_) {
            ok_ = false;
            return {};
        }
        const std::string_view text = text_.substr(at_, static_cast<std::size_t>(length));
        at_ += static_cast<std::size_t>(length);
        return text;
    }

    void Require(bool condition) { ok_ = ok_ && condition; }
    bool ok() const { return ok_; }
    std::size_t at() const { return at_; }

  private:
    std::string_view text_;
    std::size_t at_ = kHeader;
    bool ok_ = true;
};

struct ParsedOutboxRecord {
    char letter = 0;
    std::uint64_t seq = 0;
    CentralRecord record;  // R only
    std::size_t length = 0;
};

std::optional<ParsedOutboxRecord> ParseOne(std::string_view text) {
    if (text.size() < kHeader || std::string_view("RCN").find(text[0]) == std::string_view::npos) {
        return std::nullopt;
    }
    ParsedOutboxRecord parsed;
    parsed.letter = text[0];
    BodyReader reader(text);
    if (parsed.letter != 'R') {
        parsed.seq = reader.Number('\n');
    } else {
        parsed.seq = reader.Number(' ');
        const std::uint64_t count = reader.Number(' ');
        reader.Require(count <= kMostFields);
        std::vector<std::uint64_t> lengths;
        std::uint64_t total = 0;
        for (std::uint64_t i = 0; reader.ok() && i < count; ++i) {
            lengths.push_back(reader.Number(' '));
            total += lengths.back();
            reader.Require(total <= kMostBytes);
        }
        for (std::size_t i = 0; reader.ok() && i < lengths.size(); ++i) {
            const std::string_view field = reader.Text(lengths[i]);
            if (i < kFields.size()) {
                parsed.record.*kFields[i] = field;
            }
        }
        reader.Require(reader.at() < text.size() && text[reader.at()] == '\n');
        parsed.record.seq = parsed.seq;
    }
    if (!reader.ok()) {
        return std::nullopt;
    }
    parsed.length = parsed.letter == 'R' ? reader.at() + 1 : reader.at();
    const std::string_view body = text.substr(kHeader, parsed.length - kHeader - 1);
    if (CheckedRecord(parsed.letter, body) != text.substr(0, parsed.length)) {
        return std::nullopt;
    }
    return parsed;
}

}  // namespace

std::string OutboxRecordText(const CentralRecord& record) {
    std::string body = std::to_string(record.seq) + ' ' + std::to_string(kFields.size()) + ' ';
    for (const Field field : kFields) {
        body += std::to_string((record.*field).size()) + ' ';
    }
    for (const Field field : kFields) {
        body += record.*field;
    }
    return CheckedRecord('R', body);
}

std::string OutboxCommittedText(std::uint64_t seq) {
    return CheckedRecord('C', std::to_string(seq));
}

std::string OutboxNextText(std::uint64_t seq) {
    return CheckedRecord('N', std::to_string(seq));
}

OutboxIndex ParseOutbox(std::string_view text) {
    OutboxIndex index;
    std::uint64_t lastSeq = 0;
    bool inDamage = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::optional<ParsedOutboxRecord> parsed = ParseOne(text.substr(at));
        // Numbers of kept records only rise.
        if (parsed && parsed->letter == 'R' && parsed->seq <= lastSeq) {
            parsed.reset();
        }
        if (!parsed) {
            index.damaged += inDamage ? 0 : 1;
            inDamage = true;
            const std::size_t end = text.find('\n', at);
            at = end == std::string_view::npos ? text.size() : end + 1;
            continue;
        }
        inDamage = false;
        at += parsed->length;
        if (parsed->letter == 'R') {
            lastSeq = parsed->seq;
            index.waiting.push_back(std::move(parsed->record));
        } else if (parsed->letter == 'C') {
            while (!index.waiting.empty() && index.waiting.front().seq <= parsed->seq) {
                index.waiting.pop_front();
            }
            lastSeq = std::max(lastSeq, parsed->seq);
        } else {
            // The next number, written ahead of the records still waiting, which have lower ones.
            index.nextSeq = std::max(index.nextSeq, parsed->seq);
        }
        index.nextSeq = std::max(index.nextSeq, lastSeq + 1);
    }
    return index;
}

}  // namespace brisolant
