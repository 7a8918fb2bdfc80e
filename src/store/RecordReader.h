#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <system_error>

namespace brisolant {

// Reads the fields of a checked record (the journal's, the outbox's) from the text after its
// header. Runs out (NeedMore) or finds something that is no record (Damaged): a number longer
// than any the program writes, or a text that would make the record longer than `longest`.
class RecordReader {
  public:
    enum class State { Fine, NeedMore, Damaged };

    RecordReader(std::string_view text, std::size_t at, std::size_t longest)
        : text_(text), at_(at), longest_(longest) {}

    // A decimal number and the character after it.
    std::uint64_t Number(char after = ' ') {
        if (state_ != State::Fine) {
            return 0;
        }
        const char* first = text_.data() + at_;
        const char* last = text_.data() + text_.size();
        std::uint64_t value = 0;
        const auto [end, error] = std::from_chars(first, last, value);
        // No number the program writes has more digits; a run that long is damage wherever the
        // pieces the journal is read in happen to end.
        constexpr std::ptrdiff_t kMostDigits = 20;
        if (end - first > kMostDigits) {
            Fail(State::Damaged);
        } else if (end == last) {
            // The digits may go on in the next piece.
            Fail(State::NeedMore);
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
        if (length > longest_ - std::min(at_, longest_)) {
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
    std::size_t longest_;
    State state_ = State::Fine;
};

}  // namespace brisolant
