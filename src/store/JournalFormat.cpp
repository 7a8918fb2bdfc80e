#include "store/JournalFormat.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstdio>
#include <vector>

#include "store/RecordReader.h"

namespace brisolant {

namespace {

constexpr std::size_t kCheckDigits = 8;
constexpr std::size_t kHeader = 1 + kCheckDigits + 1;  // letter, check, blank
constexpr std::string_view kRecordLetters = "SPDETCN";
// Far beyond any record the program writes: more fields are damage.
constexpr std::uint64_t kMostFields = 256;

// FNV-1a: enough to tell a whole record from one cut short, filled with zeros or changed.
std::uint32_t Check(std::string_view bytes, std::uint32_t hash = 2166136261u) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::string CheckText(std::uint32_t check) {
    char text[kCheckDigits + 1];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(check));
    return text;
}

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// One record, as read from the text that begins with it.
struct ParsedRecord {
    char letter = 0;
    std::uint64_t seq = 0;                 // S, T, P, D, C; N's first entry
    std::string_view fileName;             // S, T and E
    std::string_view line;                 // S, T and E
    std::uint64_t offset = 0;              // P; N's base
    std::string_view path;                 // P; N's station
    std::uint64_t number = 0;              // T
    std::vector<std::string_view> fields;  // T, as many as it has
    std::size_t length = 0;
};

void ReadTableScan(RecordReader& reader, ParsedRecord& record) {
    record.seq = reader.Number();
    record.number = reader.Number();
    const std::uint64_t nameLength = reader.Number();
    const std::uint64_t lineLength = reader.Number();
    const std::uint64_t count = reader.Number();
    if (count > kMostFields) {
        reader.Text(JournalParser::kMaxRecord + 1);  // damage
        return;
    }
    std::vector<std::uint64_t> lengths;
    for (std::uint64_t i = 0; i < count && reader.state() == RecordReader::State::Fine; ++i) {
        lengths.push_back(reader.Number());
    }
    record.fileName = reader.Text(nameLength);
    record.line = reader.Text(lineLength);
    for (const std::uint64_t length : lengths) {
        record.fields.push_back(reader.Text(length));
    }
}

// Reads the S, P, D or E record that begins `text`: NeedMore when it goes on beyond the text,
// Damaged when it is no such record or its check fails.
RecordRead ParseRecord(std::string_view text, ParsedRecord& record) {
    if (text.empty()) {
        return RecordRead::NeedMore;
    }
    const char letter = text[0];
    if (kRecordLetters.find(letter) == std::string_view::npos) {
        return RecordRead::Damaged;
    }
    if (text.size() < kHeader) {
        return RecordRead::NeedMore;
    }
    if (!std::all_of(text.begin() + 1, text.begin() + 1 + kCheckDigits, IsHexDigit) ||
        text[kHeader - 1] != ' ') {
        return RecordRead::Damaged;
    }
    RecordReader reader(text, kHeader, JournalParser::kMaxRecord);
    record.letter = letter;
    if (letter == 'S') {
        record.seq = reader.Number();
        const std::uint64_t nameLength = reader.Number();
        const std::uint64_t lineLength = reader.Number();
        record.fileName = reader.Text(nameLength);
        record.line = reader.Text(lineLength);
    } else if (letter == 'P') {
        record.seq = reader.Number();
        record.offset = reader.Number();
        record.path = reader.Text(reader.Number());
    } else if (letter == 'D' || letter == 'C') {
        record.seq = reader.Number('\n');
    } else if (letter == 'T') {
        ReadTableScan(reader, record);
    } else if (letter == 'N') {
        record.seq = reader.Number();
        record.offset = reader.Number();
        record.path = reader.Text(reader.Number());
    } else {
        const std::uint64_t folderLength = reader.Number();
        const std::uint64_t nameLength = reader.Number();
        const std::uint64_t lineLength = reader.Number();
        reader.Text(folderLength);
        record.fileName = reader.Text(nameLength);
        record.line = reader.Text(lineLength);
    }
    if (letter != 'D' && letter != 'C') {
        reader.End();
    }
    if (reader.state() != RecordReader::State::Fine) {
        return reader.state() == RecordReader::State::NeedMore ? RecordRead::NeedMore
                                                               : RecordRead::Damaged;
    }
    record.length = reader.at();
    const std::string_view body = text.substr(kHeader, record.length - kHeader - 1);
    const std::uint32_t check = letter == 'E' ? Check(body) : Check(body, Check(text.substr(0, 1)));
    return CheckText(check) == text.substr(1, kCheckDigits) ? RecordRead::Whole
                                                            : RecordRead::Damaged;
}

// A T record's record for the database.
CentralRecord TableRecordOf(const ParsedRecord& parsed) {
    CentralRecord central;
    central.seq = parsed.number;
    central.line = parsed.line;
    for (std::size_t i = 0; i < parsed.fields.size() && i < kCentralValueFields.size(); ++i) {
        central.*kCentralValueFields[i] = parsed.fields[i];
    }
    return central;
}

}  // namespace

// The letter is checked with the body, as is everything else.
std::string CheckedRecord(char letter, std::string_view body) {
    const std::uint32_t check = Check(body, Check(std::string_view(&letter, 1)));
    std::string record = letter + CheckText(check) + ' ';
    record += body;
    record += '\n';
    return record;
}

std::string ScanRecordText(std::uint64_t seq, std::string_view fileName, std::string_view line) {
    std::string body = std::to_string(seq) + ' ' + std::to_string(fileName.size()) + ' ' +
                       std::to_string(line.size()) + ' ';
    body += fileName;
    body += line;
    return CheckedRecord('S', body);
}

std::string PlaceRecordText(std::uint64_t seq, const LinePlace& place) {
    return CheckedRecord('P', std::to_string(seq) + ' ' + std::to_string(place.offset) + ' ' +
                                  std::to_string(place.path.size()) + ' ' + place.path);
}

std::string DoneRecordText(std::uint64_t seq) {
    return CheckedRecord('D', std::to_string(seq));
}

std::string TableScanRecordText(std::uint64_t seq, std::string_view fileName,
                                const CentralRecord& record) {
    std::string body = std::to_string(seq) + ' ' + std::to_string(record.seq) + ' ' +
                       std::to_string(fileName.size()) + ' ' + std::to_string(record.line.size()) +
                       ' ' + std::to_string(kCentralValueFields.size()) + ' ';
    for (const auto field : kCentralValueFields) {
        body += std::to_string((record.*field).size()) + ' ';
    }
    body += fileName;
    body += record.line;
    for (const auto field : kCentralValueFields) {
        body += record.*field;
    }
    return CheckedRecord('T', body);
}

std::string CommittedRecordText(std::uint64_t seq) {
    return CheckedRecord('C', std::to_string(seq));
}

std::string NumberingRecordText(const Numbering& numbering) {
    return CheckedRecord(
        'N', std::to_string(numbering.from) + ' ' + std::to_string(numbering.base) + ' ' +
                 std::to_string(numbering.station.size()) + ' ' + numbering.station);
}

RecordRead ReadScanRecord(std::string_view text, const JournalEntry& entry, JournalScan& scan) {
    ParsedRecord record;
    const RecordRead read = ParseRecord(text, record);
    if (read != RecordRead::Whole) {
        return read;
    }
    const bool isScan = record.letter == 'S' || record.letter == 'T';
    if (record.letter != 'E' && (!isScan || record.seq != entry.seq)) {
        return RecordRead::Damaged;
    }
    scan.seq = entry.seq;
    scan.fileName = record.fileName;
    scan.line = record.line;
    scan.place.reset();
    scan.central.reset();
    if (record.letter == 'T') {
        scan.central = TableRecordOf(record);
    }
    return RecordRead::Whole;
}

RecordRead ReadLogRecord(std::string_view text, LogRecord& record) {
    ParsedRecord parsed;
    const RecordRead read = ParseRecord(text, parsed);
    if (read != RecordRead::Whole) {
        return read;
    }
    record.letter = parsed.letter;
    record.seq = parsed.seq;
    record.length = parsed.length;
    record.central = parsed.letter == 'T' ? TableRecordOf(parsed) : CentralRecord{};
    return RecordRead::Whole;
}

JournalParser::JournalParser(std::size_t limit) : limit_(limit) {}

void JournalParser::Feed(std::string_view bytes) {
    passed_ += start_;
    pending_.erase(0, start_);
    start_ = 0;
    pending_ += bytes;
    Parse(false);
    // However large or broken the file, no more than one record's worth is held back.
    assert(pending_.size() - start_ <= kMaxRecord + bytes.size());
}

JournalIndex JournalParser::Finish() {
    Parse(true);
    // What runs to the end with at most the one line end of a record cut short is an append
    // that never finished (a kill or a power cut in the middle of it, or a file system that
    // left zeros in its place): nothing relied on it, so it is no damage.
    if (in_damage_ && damaged_lines_ <= 1 && !rejected_whole_) {
        index_.tornTail = true;
        in_damage_ = false;
        damaged_lines_ = 0;
    }
    EndDamage();
    return std::move(index_);
}

void JournalParser::Parse(bool atEnd) {
    std::size_t length = 0;
    while (start_ < pending_.size()) {
        switch (ParseOne(length)) {
            case Outcome::Taken:
                EndDamage();
                start_ += length;
                index_.wholeEnd = passed_ + start_;
                continue;
            case Outcome::NeedMore:
                if (!atEnd && pending_.size() - start_ <= kMaxRecord) {
                    return;
                }
                break;
            case Outcome::Damaged:
                break;
        }
        // Damage: go on at the next place where a record may start.
        in_damage_ = true;
        const std::size_t next = pending_.find_first_of(kRecordLetters, start_ + 1);
        Skip((next == std::string::npos ? pending_.size() : next) - start_);
    }
}

JournalParser::Outcome JournalParser::ParseOne(std::size_t& length) {
    const std::string_view text = std::string_view(pending_).substr(start_);
    // The earlier program's written mark: only where a record ends, so that damage cannot make
    // one up.
    if (text[0] == 'W') {
        if (text.size() < 2) {
            return Outcome::NeedMore;
        }
        if (text[1] != '\n' || in_damage_ || index_.waiting.empty()) {
            return Outcome::Damaged;
        }
        index_.earlierFormat = true;
        TakeOldest();
        length = 2;
        return Outcome::Taken;
    }
    ParsedRecord record;
    switch (ParseRecord(text, record)) {
        case RecordRead::NeedMore:
            return Outcome::NeedMore;
        case RecordRead::Damaged:
            return Outcome::Damaged;
        case RecordRead::Whole:
            break;
    }
    if (record.letter == 'S' || record.letter == 'T') {
        if (record.seq <= index_.lastSeq) {
            // Whole, but not where it can be: no append cut short made it.
            rejected_whole_ = true;
            return Outcome::Damaged;
        }
        if (record.letter == 'T') {
            index_.forDatabase.push_back({record.seq, passed_ + start_});
        }
        if (record.letter == 'S' || !record.fileName.empty()) {
            Apply(record.seq);
        } else {
            index_.lastSeq = record.seq;
        }
    } else if (record.letter == 'P') {
        ApplyPlace(record.seq, LinePlace{std::string(record.path), record.offset});
    } else if (record.letter == 'D') {
        ApplyDone(record.seq);
        index_.lastSeq = std::max(index_.lastSeq, record.seq);
    } else if (record.letter == 'C') {
        ApplyCommitted(record.seq);
        index_.lastSeq = std::max(index_.lastSeq, record.seq);
    } else if (record.letter == 'N') {
        index_.numbering = Numbering{record.seq, record.offset, std::string(record.path)};
        if (record.seq > 0) {
            index_.lastSeq = std::max(index_.lastSeq, record.seq - 1);
        }
    } else {
        index_.earlierFormat = true;
        Apply(index_.lastSeq + 1);
    }
    length = record.length;
    return Outcome::Taken;
}

void JournalParser::Skip(std::size_t count) {
    const auto first = pending_.begin() + static_cast<std::ptrdiff_t>(start_);
    damaged_lines_ += static_cast<std::size_t>(
        std::count(first, first + static_cast<std::ptrdiff_t>(count), '\n'));
    start_ += count;
}

void JournalParser::EndDamage() {
    if (in_damage_) {
        index_.damaged += std::max<std::size_t>(damaged_lines_, 1);
        in_damage_ = false;
        damaged_lines_ = 0;
    }
    rejected_whole_ = false;
}

void JournalParser::Apply(std::uint64_t seq) {
    index_.lastSeq = seq;
    if (index_.waiting.size() >= limit_) {
        ++index_.overLimit;
        return;
    }
    index_.waiting.push_back({seq, passed_ + start_});
}

void JournalParser::ApplyPlace(std::uint64_t seq, LinePlace place) {
    const auto& waiting = index_.waiting;
    const auto scan = std::lower_bound(
        waiting.begin(), waiting.end(), seq,
        [](const JournalEntry& e, std::uint64_t wanted) { return e.seq < wanted; });
    if (scan != waiting.end() && scan->seq == seq) {
        index_.places.insert_or_assign(seq, std::move(place));
    }
}

void JournalParser::ApplyDone(std::uint64_t seq) {
    auto& waiting = index_.waiting;
    while (!waiting.empty() && waiting.front().seq <= seq) {
        waiting.pop_front();
    }
    index_.places.erase(index_.places.begin(), index_.places.upper_bound(seq));
}

void JournalParser::ApplyCommitted(std::uint64_t seq) {
    auto& waiting = index_.forDatabase;
    while (!waiting.empty() && waiting.front().seq <= seq) {
        waiting.pop_front();
    }
    index_.committed = std::max(index_.committed, seq);
}

void JournalParser::TakeOldest() {
    index_.places.erase(index_.waiting.front().seq);
    index_.waiting.pop_front();
}

}  // namespace brisolant
