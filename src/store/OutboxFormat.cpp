#include "store/OutboxFormat.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "store/JournalFormat.h"
#include "store/RecordReader.h"

namespace brisolant {

namespace {

constexpr std::size_t kHeader = 1 + 8 + 1;  // letter, check, blank
// Far beyond any record the program writes: a count or length past these is damage.
constexpr std::uint64_t kMostFields = 256;
constexpr std::uint64_t kMostBytes = 1024 * 1024;

using Field = std::string CentralRecord::*;

// The values, then the line.
constexpr std::array<Field, kCentralValueFields.size() + 1> kFields = [] {
    std::array<Field, kCentralValueFields.size() + 1> fields{};
    for (std::size_t i = 0; i < kCentralValueFields.size(); ++i) {
        fields[i] = kCentralValueFields[i];
    }
    fields.back() = &CentralRecord::line;
    return fields;
}();

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
    // Read whole: a record that runs out is damage here.
    RecordReader reader(text, kHeader, kMostBytes);
    if (parsed.letter != 'R') {
        parsed.seq = reader.Number('\n');
    } else {
        parsed.seq = reader.Number();
        const std::uint64_t count = reader.Number();
        if (count > kMostFields) {
            return std::nullopt;
        }
        std::vector<std::uint64_t> lengths;
        for (std::uint64_t i = 0; reader.state() == RecordReader::State::Fine && i < count; ++i) {
            lengths.push_back(reader.Number());
        }
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::string_view field = reader.Text(lengths[i]);
            if (i < kFields.size()) {
                parsed.record.*kFields[i] = field;
            }
        }
        reader.End();
        parsed.record.seq = parsed.seq;
    }
    if (reader.state() != RecordReader::State::Fine) {
        return std::nullopt;
    }
    parsed.length = reader.at();
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
