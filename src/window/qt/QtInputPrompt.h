#pragma once

#include <functional>
#include <string>

#include "scan/InputPrompt.h"

class QWidget;

namespace brisolant {

// The modal input box, with Qt's own dialog. Port events keep flowing while it waits.
//
// A program that ends (a signal, the window closed) does not wait for an answer: a prompt that
// is open when the end comes, and any asked for after it, give no operator text, and the log
// says so for each scan.
class QtInputPrompt : public InputPrompt {
  public:
    explicit QtInputPrompt(QWidget* parent, std::function<void(const std::string&)> log = {});
    std::string Ask(const std::string& title, const std::string& prompt) override;

    // From now on the program ends: nobody is asked.
    void EndWithoutAsking() { ending_ = true; }

  private:
    void NoteUnanswered();

    QWidget* parent_;
    std::function<void(const std::string&)> log_;
    bool ending_ = false;
};

}  // namespace brisolant
