#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brisolant {

// A text that always holds exactly its width in characters: a shorter value is padded on the
// right with spaces, a longer one is cut. The padding travels into the display and the file.
class FixedText {
  public:
    explicit FixedText(std::size_t width) : text_(width, ' ') {}

    void Set(std::string_view value) {
        const std::size_t width = text_.size();
        text_.assign(value.substr(0, width));
        text_.resize(width, ' ');
    }
    FixedText& operator=(std::string_view value) {
        Set(value);
        return *this;
    }

    const std::string& Text() const { return text_; }
    std::size_t Width() const { return text_.size(); }

  private:
    std::string text_;
};

}  // namespace brisolant
