#pragma once

#include "scan/InputPrompt.h"

class QWidget;

namespace brisolant {

// The modal input box, with Qt's own dialog. Port events keep flowing while it waits.
class QtInputPrompt : public InputPrompt {
  public:
    explicit QtInputPrompt(QWidget* parent) : parent_(parent) {}
    std::string Ask(const std::string& title, const std::string& prompt) override;

  private:
    QWidget* parent_;
};

}  // namespace brisolant
