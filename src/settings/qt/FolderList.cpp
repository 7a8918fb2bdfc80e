#include "settings/qt/FolderList.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr int kIndentPerLevel = 2;
constexpr int kPathRole = Qt::UserRole;

// Each entry is indented by its depth below the root, like a tree drawn as a list.
QString EntryText(const QString& name, int depth) {
    return QString(depth * kIndentPerLevel, QLatin1Char(' ')) + name;
}

}  // namespace

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    connect(this, &QListWidget::clicked, this, [this] { emit folderClicked(); });
    connect(this, &QListWidget::doubleClicked, this, &FolderList::openEntry);
}

bool FolderList::setPath(const QString& folder) {
    const QFileInfo info(folder);
    if (folder.isEmpty() || !info.isDir() || !info.isReadable()) {
        return false;
    }
    m_path = QDir::cleanPath(info.absoluteFilePath());
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
    for (QDir dir(m_path);;) {
        ancestors.prepend(dir.absolutePath());
        if (!dir.cdUp()) {
            break;
        }
    }
    int depth = 0;
    for (const QString& folder : ancestors) {
        const QString name = depth == 0 ? folder : QFileInfo(folder).fileName();
        auto* item = new QListWidgetItem(openIcon, EntryText(name, depth), this);
        item->setData(kPathRole, folder);
        ++depth;
    }
    const int currentRow = count() - 1;

    const QDir current(m_path);
    const QStringList subfolders = current.entryList(
        QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QString& name : subfolders) {
        auto* item = new QListWidgetItem(closedIcon, EntryText(name, depth), this);
        item->setData(kPathRole, current.absoluteFilePath(name));
    }
    setCurrentRow(currentRow);
    scrollToItem(item(currentRow), QAbstractItemView::PositionAtCenter);
}

void FolderList::openEntry(const QModelIndex& index) {
    if (index.isValid()) {
        setPath(index.data(kPathRole).toString());
    }
}
