#pragma once

#include <QValidator>

namespace brisolant {

// Lets the operator type no more than `limit` characters into a line edit, while a text the
// program sets there (a stored value longer than that) stays whole: a line edit checks what is
// typed or pasted against its validator, never what setText puts in it. A box that holds more
// can only be shortened. (A maximum length, by contrast, cuts what the program sets.)
class TypedLengthLimit : public QValidator {
  public:
    TypedLengthLimit(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int&) const override {
        return input.size() <= limit_ ? Acceptable : Invalid;
    }

  private:
    int limit_;
};

}  // namespace brisolant
