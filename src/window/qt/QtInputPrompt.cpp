#include "window/qt/QtInputPrompt.h"

#include <QInputDialog>
#include <QLineEdit>

#include "common/qt/Latin1Text.h"

namespace brisolant {

std::string QtInputPrompt::Ask(const std::string& title, const std::string& prompt) {
    // The prompt's lines are joined by a lone CR, which a Qt label would not break on.
    QString label = FromLatin1(prompt);
    label.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    label.replace(QChar(u'\r'), QChar(u'\n'));
    bool confirmed = false;
    const QString answer = QInputDialog::getText(parent_, FromLatin1(title), label,
                                                 QLineEdit::Normal, QString(), &confirmed);
    return confirmed ? ToLatin1(answer) : std::string();
}

}  // namespace brisolant
