#pragma once

#include <QLineEdit>
#include <QObject>

namespace brisolant {

// Lets the operator type no more than `limit` characters into a line edit, while a text the
// program sets there (a stored value longer than that) stays whole and can only be shortened.
// A maximum length would cut what the program sets, and a validator stops holding the operator
// back once the box holds a text it refuses; an edit that makes a long text longer is undone.
class TypedLengthLimit : public QObject {
  public:
    TypedLengthLimit(QLineEdit& edit, qsizetype limit) : QObject(&edit) {
        // setText clears the modified flag: a change then is the program's.
        connect(&edit, &QLineEdit::textChanged, this, [this, &edit](const QString& text) {
            if (!edit.isModified()) {
                kept_ = text;
            }
        });
        connect(&edit, &QLineEdit::textEdited, this, [this, &edit, limit](const QString& text) {
            if (text.size() > limit && text.size() > kept_.size()) {
                const int cursor = static_cast<int>(kept_.size());
                edit.setText(kept_);
                edit.setCursorPosition(cursor);
            } else {
                kept_ = text;
            }
        });
    }

  private:
    QString kept_;
};

}  // namespace brisolant
