#include "store/JournalFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "store/RecordReader.h"

namespace brisolant {

namespace {

constexpr std::size_t kCheckDigits = 8;
constexpr std::size_t kHeader = 1 + kCheckDigits + 1;  // letter, check, blank
constexpr std::string_view kRecordLetters = "SPDE";

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
    std::uint64_t seq = 0;      // S, P and D
    std::string_view fileName;  // S and E
    std::string_view line;      // S and E
    std::uint64_t offset = 0;   // P
    std::string_view path;      // P
    std::size_t length = 0;
};

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
    } else if (letter == 'D') {
        record.seq = reader.Number('\n');
    } else {
        const std::uint64_t folderLength = reader.Number();
        const std::uint64_t nameLength = reader.Number();
        const std::uint64_t lineLength = reader.Number();
        reader.Text(folderLength);
        record.fileName = reader.Text(nameLength);
        record.line = reader.Text(lineLength);
    }
    if (letter != 'D') {
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

RecordRead ReadScanRecord(std::string_view text, const JournalEntry& entry, JournalScan& scan) {
    ParsedRecord record;
    const RecordRead read = ParseRecord(text, record);
    if (read != RecordRead::Whole) {
        return read;
    }
    if (record.letter != 'E' && (record.letter != 'S' || record.seq != entry.seq)) {
        return RecordRead::Damaged;
    }
    scan.seq = entry.seq;
    scan.fileName = record.fileName;
    scan.line = record.line;
    scan.place.reset();
    return RecordRead::Whole;
}

JournalParser::JournalParser(std::size_t limit) : limit_(limit) {}

void JournalParser::Feed(std::string_view bytes) {
    passed_ += start_;
    pending_.erase(0, start_);
    start_ = 0;
    pending_ += bytes;
    Parse(false);
}

JournalIndex JournalParser::Finish() {
    Parse(true);
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
    if (record.letter == 'S') {
        if (record.seq <= index_.lastSeq) {
            return Outcome::Damaged;
        }
        Apply(record.seq);
    } else if (record.letter == 'P') {
        ApplyPlace(record.seq, LinePlace{std::string(record.path), record.offset});
    } else if (record.letter == 'D') {
        ApplyDone(record.seq);
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

void JournalParser::TakeOldest() {
    index_.places.erase(index_.waiting.front().seq);
    index_.waiting.pop_front();
}

}  // namespace brisolant
