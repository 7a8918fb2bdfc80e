#include "scan/JournalFormat.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

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

// The record with its check: the letter is checked with the body, as is everything else.
std::string Record(char letter, const std::string& body) {
    const std::uint32_t check = Check(body, Check(std::string_view(&letter, 1)));
    return letter + CheckText(check) + ' ' + body + '\n';
}

// Reads the fields of a record from the text after its header. Runs out (NeedMore) or finds
// something that is no record (Damaged).
class RecordReader {
  public:
    enum class State { Fine, NeedMore, Damaged };

    RecordReader(std::string_view text, std::size_t at) : text_(text), at_(at) {}

    // A decimal number and the character after it.
    std::uint64_t Number(char after = ' ') {
        if (state_ != State::Fine) {
            return 0;
        }
        const char* first = text_.data() + at_;
        const char* last = text_.data() + text_.size();
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(first, last, value);
        if (end == last) {
            // The digits may go on in the next piece.
            Fail(end - first > 20 ? State::Damaged : State::NeedMore);
        } else if (error != std::errc() || end == first || *end != after) {
            Fail(State::Damaged);
        } else {
            at_ += static_cast<std::size_t>(end - first) + 1;
        }
        return value;
    }

    // A text of the given length.
    std::string_view Text(std::uint64_t length) {
        if (state_ != State::Fine) {
            return {};
        }
        if (length > JournalParser::kMaxRecord - std::min(at_, JournalParser::kMaxRecord)) {
            Fail(State::Damaged);
            return {};
        }
        if (length > text_.size() - at_) {
            Fail(State::NeedMore);
            return {};
        }
        const std::string_view text = text_.substr(at_, length);
        at_ += length;
        return text;
    }

    // The line end that closes the record.
    void End() {
        if (state_ == State::Fine && at_ >= text_.size()) {
            Fail(State::NeedMore);
        } else if (state_ == State::Fine && text_[at_] != '\n') {
            Fail(State::Damaged);
        } else {
            ++at_;
        }
    }

    State state() const { return state_; }
    std::size_t at() const { return at_; }

  private:
    void Fail(State state) {
        if (state_ == State::Fine) {
            state_ = state;
        }
    }

    std::string_view text_;
    std::size_t at_;
    State state_ = State::Fine;
};

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

}  // namespace

std::string ScanRecordText(std::uint64_t seq, std::string_view fileName, std::string_view line) {
    std::string body = std::to_string(seq) + ' ' + std::to_string(fileName.size()) + ' ' +
                       std::to_string(line.size()) + ' ';
    body += fileName;
    body += line;
    return Record('S', body);
}

std::string PlaceRecordText(std::uint64_t seq, const LinePlace& place) {
    return Record('P', std::to_string(seq) + ' ' + std::to_string(place.offset) + ' ' +
                           std::to_string(place.path.size()) + ' ' + place.path);
}

std::string DoneRecordText(std::uint64_t seq) {
    return Record('D', std::to_string(seq));
}

JournalParser::JournalParser(std::size_t limit) : limit_(limit) {}

void JournalParser::Feed(std::string_view bytes) {
    pending_.erase(0, start_);
    start_ = 0;
    pending_ += bytes;
    Parse(false);
}

JournalContents JournalParser::Finish() {
    Parse(true);
    EndDamage();
    return std::move(contents_);
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
    const char letter = text[0];
    // The earlier program's written mark: only where a record ends, so that damage cannot make
    // one up.
    if (letter == 'W') {
        if (text.size() < 2) {
            return Outcome::NeedMore;
        }
        if (text[1] != '\n' || in_damage_ || contents_.waiting.empty()) {
            return Outcome::Damaged;
        }
        contents_.earlierFormat = true;
        contents_.waiting.pop_front();
        length = 2;
        return Outcome::Taken;
    }
    if (kRecordLetters.find(letter) == std::string_view::npos) {
        return Outcome::Damaged;
    }
    if (text.size() < kHeader) {
        return Outcome::NeedMore;
    }
    if (!std::all_of(text.begin() + 1, text.begin() + 1 + kCheckDigits, IsHexDigit) ||
        text[kHeader - 1] != ' ') {
        return Outcome::Damaged;
    }
    RecordReader reader(text, kHeader);
    JournalScan scan;
    LinePlace place;
    std::uint64_t seq = 0;
    if (letter == 'S') {
        seq = reader.Number();
        const std::uint64_t nameLength = reader.Number();
        const std::uint64_t lineLength = reader.Number();
        scan.fileName = reader.Text(nameLength);
        scan.line = reader.Text(lineLength);
    } else if (letter == 'P') {
        seq = reader.Number();
        place.offset = reader.Number();
        place.path = reader.Text(reader.Number());
    } else if (letter == 'D') {
        seq = reader.Number('\n');
    } else {
        const std::uint64_t folderLength = reader.Number();
        const std::uint64_t nameLength = reader.Number();
        const std::uint64_t lineLength = reader.Number();
        reader.Text(folderLength);
        scan.fileName = reader.Text(nameLength);
        scan.line = reader.Text(lineLength);
    }
    if (letter != 'D') {
        reader.End();
    }
    if (reader.state() != RecordReader::State::Fine) {
        return reader.state() == RecordReader::State::NeedMore ? Outcome::NeedMore
                                                               : Outcome::Damaged;
    }
    length = reader.at();
    const std::string_view body = text.substr(kHeader, length - kHeader - 1);
    const std::uint32_t check = letter == 'E' ? Check(body) : Check(body, Check(text.substr(0, 1)));
    if (CheckText(check) != text.substr(1, kCheckDigits)) {
        return Outcome::Damaged;
    }
    if (letter == 'S') {
        if (seq <= contents_.lastSeq) {
            return Outcome::Damaged;
        }
        scan.seq = seq;
        Apply(std::move(scan));
    } else if (letter == 'P') {
        ApplyPlace(seq, std::move(place));
    } else if (letter == 'D') {
        ApplyDone(seq);
    } else {
        contents_.earlierFormat = true;
        scan.seq = contents_.lastSeq + 1;
        Apply(std::move(scan));
    }
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
        contents_.damaged += std::max<std::size_t>(damaged_lines_, 1);
        in_damage_ = false;
        damaged_lines_ = 0;
    }
}

void JournalParser::Apply(JournalScan scan) {
    contents_.lastSeq = scan.seq;
    if (contents_.waiting.size() >= limit_) {
        ++contents_.overLimit;
        return;
    }
    contents_.waiting.push_back(std::move(scan));
}

void JournalParser::ApplyPlace(std::uint64_t seq, LinePlace place) {
    auto& waiting = contents_.waiting;
    const auto scan =
        std::lower_bound(waiting.begin(), waiting.end(), seq,
                         [](const JournalScan& s, std::uint64_t wanted) { return s.seq < wanted; });
    if (scan != waiting.end() && scan->seq == seq) {
        scan->place = std::move(place);
    }
}

void JournalParser::ApplyDone(std::uint64_t seq) {
    auto& waiting = contents_.waiting;
    while (!waiting.empty() && waiting.front().seq <= seq) {
        waiting.pop_front();
    }
}

JournalContents ReadJournalText(std::string_view text, std::size_t limit) {
    JournalParser parser(limit);
    // Pieces of an awkward size, as from a file, so that records straddle them.
    constexpr std::size_t kPiece = 4093;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        parser.Feed(text.substr(at, kPiece));
    }
    return parser.Finish();
}

}  // namespace brisolant
