#pragma once

#include "common/MessagePresenter.h"

class QWidget;

namespace brisolant {

// A modal Qt message box with an OK button and no icon.
class QtMessagePresenter : public MessagePresenter {
  public:
    explicit QtMessagePresenter(QWidget* parent) : parent_(parent) {}
    void ShowMessage(const std::string& title, const std::string& text) override;

  private:
    QWidget* parent_;
};

}  // namespace brisolant
