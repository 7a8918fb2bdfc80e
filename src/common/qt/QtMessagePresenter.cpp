#include "common/qt/QtMessagePresenter.h"

#include <QMessageBox>

#include "common/qt/Latin1Text.h"

namespace brisolant {

void QtMessagePresenter::ShowMessage(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, FromLatin1(title), FromLatin1(text), QMessageBox::Ok,
                    parent_);
    // Texts from settings files and the line are shown as they stand, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace brisolant
