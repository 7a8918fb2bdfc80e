#include "settings/qt/FolderList.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace brisolant {

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;

// Each entry, icon and name together, steps in by its depth below the root, so that the chain
// of folders reads as a tree.
class IndentedEntries : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem stepped(option);
        stepped.rect.setLeft(option.rect.left() + Indent(option, index));
        QStyledItemDelegate::paint(painter, stepped, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(Indent(option, index), 0);
    }

  private:
    static int Indent(const QStyleOptionViewItem& option, const QModelIndex& index) {
        return index.data(kDepthRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
    }
};

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentedEntries(this));
    connect(this, &QListWidget::clicked, this, [this] { emit folderClicked(); });
    connect(this, &QListWidget::doubleClicked, this, &FolderList::openEntry);
}

bool FolderList::setPath(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable()) {
        return false;
    }
    path_ = QDir::cleanPath(info.absoluteFilePath());
    refill();
    return true;
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The keyboard's way to what a double click and a click do with the mouse.
        openEntry(currentIndex());
        emit folderClicked();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::refill() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QStringList ancestors;
    for (QDir dir(path_);;) {
        ancestors.prepend(dir.absolutePath());
        if (!dir.cdUp()) {
            break;
        }
    }
    int depth = 0;
    for (const QString& folder : ancestors) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(openIcon, name, this);
        item->setData(kPathRole, folder);
        item->setData(kDepthRole, depth);
        ++depth;
    }
    const int currentRow = count() - 1;

    const QDir current(path_);
    const QStringList subfolders = current.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, name, this);
        item->setData(kPathRole, current.absoluteFilePath(name));
        item->setData(kDepthRole, depth);
    }
    setCurrentRow(currentRow);
    scrollToItem(item(currentRow), QAbstractItemView::PositionAtCenter);
}

void FolderList::openEntry(const QModelIndex& index) {
    if (index.isValid()) {
        setPath(index.data(kPathRole).toString());
    }
}

}  // namespace brisolant
