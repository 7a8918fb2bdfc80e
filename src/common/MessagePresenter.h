#pragma once

#include <string>

namespace brisolant {

// A modal message box with an OK button and no icon. Returns when the operator has dismissed it.
class MessagePresenter {
  public:
    virtual ~MessagePresenter() = default;
    virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
};

}  // namespace brisolant
