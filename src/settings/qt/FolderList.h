#pragma once

#include <QListWidget>
#include <QString>

namespace brisolant {

// The folder list: its current folder with that folder's ancestors above and its subfolders
// below. A double click (or Enter) opens an entry; every click is reported, and the owner reads
// the current folder, which is not necessarily the entry under the pointer.
class FolderList : public QListWidget {
    Q_OBJECT

  public:
    explicit FolderList(QWidget* parent = nullptr);

    // The current folder as an absolute, clean path ("/" for the root).
    const QString& path() const { return path_; }
    // Makes folder the current one; false, and nothing changes, when it is not a readable folder.
    bool setPath(const QString& folder);

  signals:
    void folderClicked();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void refill();
    void openEntry(const QModelIndex& index);

    QString path_;
};

}  // namespace brisolant
