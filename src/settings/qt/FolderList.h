#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <utility>

#include "common/DetachedCalls.h"

namespace brisolant {

// What listing folders came to: the first of them that is a readable folder and its
// subfolders, or an empty folder when none is.
struct FolderListing {
    QString folder;
    QStringList subfolders;
};

// Lists the first readable folder of those given: ListFirstFolder, or a stand-in for it. Runs on
// a thread of its own, and may hang as long as the folder does.
using FolderLister = std::function<FolderListing(const QStringList& folders)>;
FolderListing ListFirstFolder(const QStringList& folders);

// The folder list: its current folder with that folder's ancestors above and its subfolders
// below. A double click (or Enter) opens an entry; every click is reported, and the owner reads
// the current folder, which is not necessarily the entry under the pointer.
//
// A folder's subfolders are listed on a thread of its own, never on the window's: a folder on a
// share that has stopped answering leaves one grey row, "Reading…", below it, and the dialog
// answers meanwhile. The ancestors come from the path alone.
class FolderList : public QListWidget {
    Q_OBJECT

  public:
    explicit FolderList(QWidget* parent = nullptr);

    // The current folder as an absolute, clean path ("/" for the root): the one whose
    // subfolders are shown, or are being listed.
    const QString& path() const { return path_; }
    // Whether the current folder's subfolders are still being listed.
    bool isListing() const { return listing_ != 0; }
    // Makes the first of the folders that is a readable folder the current one. Until their
    // subfolders come, the first is shown as current; when none is a readable folder, the list
    // goes back to the folder it showed before and reports folderRefused.
    void openFirstOf(const QStringList& folders);
    void openFolder(const QString& folder) { openFirstOf({folder}); }
    // Lists through `lister` from now on.
    void setLister(FolderLister lister) { lister_ = std::move(lister); }

  signals:
    void folderClicked();
    void folderRefused();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Listing {
        std::uint64_t ticket = 0;
        FolderListing found;
    };

    void listed();
    void showFolder(const QString& folder, const QStringList* subfolders);
    void openEntry(const QModelIndex& index);

    QString path_;
    // The last folder whose subfolders came, and those subfolders.
    QString shownPath_;
    QStringList shownSubfolders_;
    std::uint64_t listings_ = 0;  // listings asked for so far
    std::uint64_t listing_ = 0;   // the one awaited; 0 for none
    // The awaited listing was opened with Enter, which copies the folder once it is open.
    bool clickWhenListed_ = false;
    FolderLister lister_ = ListFirstFolder;
    DetachedCalls<Listing> calls_;
};

}  // namespace brisolant
