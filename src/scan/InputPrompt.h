#pragma once

#include <string>

namespace brisolant {

// The modal manual-entry input box: returns the text typed on confirm, "" on cancel or close.
class InputPrompt {
  public:
    virtual ~InputPrompt() = default;
    virtual std::string Ask(const std::string& title, const std::string& prompt) = 0;
};

}  // namespace brisolant
