#include "window/qt/RecordListViewSetup.h"

#include <QFontDatabase>
#include <QListView>

namespace brisolant {

void ConfigureRecordListView(QListView& view) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(9.75);
    view.setFont(font);
    view.setUniformItemSizes(true);
    view.setWordWrap(false);
    // Long records scroll sideways rather than lose their last fields behind "...".
    view.setTextElideMode(Qt::ElideNone);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
}

}  // namespace brisolant
