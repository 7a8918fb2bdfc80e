#include "window/qt/QtInputPrompt.h"

#include <QInputDialog>
#include <QLineEdit>
#include <iostream>
#include <utility>

#include "about/Version.h"
#include "common/qt/Latin1Text.h"

namespace brisolant {

QtInputPrompt::QtInputPrompt(QWidget* parent, std::function<void(const std::string&)> log)
    : parent_(parent), log_(std::move(log)) {
    if (!log_) {
        log_ = [](const std::string& line) { std::cerr << kAppTitle << ": " << line << '\n'; };
    }
}

std::string QtInputPrompt::Ask(const std::string& title, const std::string& prompt) {
    if (ending_) {
        NoteUnanswered();
        return {};
    }
    // The prompt's lines are joined by a lone CR, which a Qt label would not break on.
    QString label = FromLatin1(prompt);
    label.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    label.replace(QChar(u'\r'), QChar(u'\n'));
    QInputDialog dialog(parent_);
    dialog.setWindowTitle(FromLatin1(title));
    dialog.setLabelText(label);
    dialog.setTextEchoMode(QLineEdit::Normal);
    const bool confirmed = dialog.exec() == QDialog::Accepted;
    // An answer closes the box; the program's end leaves its loop with the box still open.
    if (!confirmed && dialog.isVisible()) {
        ending_ = true;
        NoteUnanswered();
    }
    return confirmed ? ToLatin1(dialog.textValue()) : std::string();
}

void QtInputPrompt::NoteUnanswered() {
    log_(
        "the program ends while the manual-entry prompt waits: a scan is recorded without "
        "operator text");
}

}  // namespace brisolant
