#include "settings/qt/FolderList.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>
#include <system_error>

#include "common/qt/QueuedCall.h"

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

// The folder and the folders above it, root first, from the path alone: asking the file system
// would wait for a share that has stopped answering.
QStringList FoldersDownTo(const QString& folder) {
    QStringList chain{QStringLiteral("/")};
    QString path;
    for (const QString& name : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + name;
        chain.append(path);
    }
    return chain;
}

QString Inside(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

}  // namespace

FolderListing ListFirstFolder(const QStringList& folders) {
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (info.isDir() && info.isReadable()) {
            return {folder,
                    QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot,
                                           QDir::Name | QDir::IgnoreCase | QDir::LocaleAware)};
        }
    }
    return {};
}

FolderList::FolderList(QWidget* parent)
    : QListWidget(parent), calls_(QueuedCall(this, [this] { listed(); })) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setItemDelegate(new IndentedEntries(this));
    connect(this, &QListWidget::clicked, this, [this] { emit folderClicked(); });
    connect(this, &QListWidget::doubleClicked, this, &FolderList::openEntry);
}

void FolderList::openFirstOf(const QStringList& folders) {
    QStringList absolute;
    for (const QString& folder : folders) {
        if (!folder.isEmpty()) {
            absolute.append(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
        }
    }
    if (absolute.isEmpty()) {
        return;
    }
    listing_ = ++listings_;
    clickWhenListed_ = false;
    path_ = absolute.front();
    showFolder(path_, nullptr);
    try {
        calls_.Run([ticket = listing_, absolute, list = lister_] {
            try {
                return Listing{ticket, list(absolute)};
            } catch (const std::exception&) {
                return Listing{ticket, {}};  // out of memory: taken as unreadable
            }
        });
    } catch (const std::system_error&) {
        // No thread to list on: as a folder that cannot be read.
        listing_ = 0;
        path_ = shownPath_;
        showFolder(shownPath_, &shownSubfolders_);
        emit folderRefused();
    }
}

void FolderList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // The keyboard's way to what a double click and a click do with the mouse: the folder
        // opened is copied once it is open.
        const QModelIndex index = currentIndex();
        if (index.isValid() && !index.data(kPathRole).toString().isEmpty()) {
            openEntry(index);
            clickWhenListed_ = true;
        } else {
            emit folderClicked();
        }
        return;
    }
    QListWidget::keyPressEvent(event);
}

void FolderList::listed() {
    for (Listing& listing : calls_.Take()) {
        if (listing.ticket != listing_) {
            continue;  // another folder was opened since
        }
        listing_ = 0;
        const bool refused = listing.found.folder.isEmpty();
        if (!refused) {
            shownPath_ = listing.found.folder;
            shownSubfolders_ = listing.found.subfolders;
        }
        path_ = shownPath_;
        showFolder(shownPath_, &shownSubfolders_);
        if (refused) {
            emit folderRefused();
        }
        if (std::exchange(clickWhenListed_, false)) {
            emit folderClicked();
        }
    }
}

// Shows the folder's chain and its subfolders, or, without them, that they are being listed.
void FolderList::showFolder(const QString& folder, const QStringList* subfolders) {
    clear();
    if (folder.isEmpty()) {
        return;
    }
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    int depth = 0;
    for (const QString& ancestor : FoldersDownTo(folder)) {
        const QString name = depth == 0 ? ancestor : ancestor.section(QLatin1Char('/'), -1);
        auto* item = new QListWidgetItem(openIcon, name, this);
        item->setData(kPathRole, ancestor);
        item->setData(kDepthRole, depth);
        ++depth;
    }
    const int currentRow = count() - 1;
    if (subfolders == nullptr) {
        auto* item = new QListWidgetItem(QStringLiteral("Reading\u2026"), this);
        item->setFlags(Qt::NoItemFlags);  // grey, and nothing to open or choose
        item->setData(kDepthRole, depth);
    } else {
        for (const QString& name : *subfolders) {
            auto* item = new QListWidgetItem(closedIcon, name, this);
            item->setData(kPathRole, Inside(folder, name));
            item->setData(kDepthRole, depth);
        }
    }
    setCurrentRow(currentRow);
    scrollToItem(item(currentRow), QAbstractItemView::PositionAtCenter);
}

void FolderList::openEntry(const QModelIndex& index) {
    if (index.isValid() && !index.data(kPathRole).toString().isEmpty()) {
        openFolder(index.data(kPathRole).toString());
    }
}

}  // namespace brisolant
