// The settings dialog's folder and drive lists never ask a file system anything on the window's
// thread: a share that has stopped answering holds up one listing, never the dialog.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <future>
#include <memory>

#include "settings/Settings.h"
#include "settings/qt/DriveList.h"
#include "settings/qt/FolderList.h"
#include "settings/qt/frmSettings.h"
#include "support/FindControl.h"
#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "support/Screenshot.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

// Lists as the dialog does, but a listing that begins with `folder` waits until the test lets
// it go, as a folder on a hung share does.
FolderLister HeldAt(const QString& folder, std::shared_future<void> letGo) {
    return [folder, letGo](const QStringList& folders) {
        if (folders.front() == folder) {
            letGo.wait();
        }
        return ListFirstFolder(folders);
    };
}

class FolderListTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::EnsureQtApplication(); }

    void SetUp() override {
        std::filesystem::create_directories(dir.path() / "share" / "records");
        std::filesystem::create_directory(dir.path() / "local");
        test::WriteFile(dir.file("Orvane.ini"), "[SETTINGS]\r\nFilePath=" + dir.folder() + "\r\n");
        LoadSettings(settings, dir.path().string(), messages);
        dialog = std::make_unique<frmSettings>(settings, messages);
        dialog->show();
        list = test::FindControl<FolderList>(*dialog, QStringLiteral("Dir1"));
        ASSERT_TRUE(Listed());
    }
    void TearDown() override {
        if (!released_) {
            gate_.set_value();
        }
    }

    bool Listed() {
        return test::PumpUntil([this] { return !list->isListing(); });
    }
    QString Folder(const char* name) const {
        return QString::fromStdString((dir.path() / name).string());
    }
    int RowOf(const QString& path) const {
        for (int row = 0; row < list->count(); ++row) {
            if (list->item(row)->data(Qt::UserRole).toString() == path) {
                return row;
            }
        }
        ADD_FAILURE() << "the list does not show " << path.toStdString();
        return 0;
    }
    void OpenRow(int row) {
        test::DoubleClick(list->viewport(), list->visualItemRect(list->item(row)).center());
    }
    void LetGo() {
        released_ = true;
        gate_.set_value();
    }

    test::TempDir dir;
    Settings settings;
    test::RecordingMessages messages;
    std::unique_ptr<frmSettings> dialog;
    FolderList* list = nullptr;
    std::promise<void> gate_;
    std::shared_future<void> letGo_ = gate_.get_future().share();
    bool released_ = false;
};

// Opened, a folder that does not answer is shown as the current one with a grey "Reading…"
// below it; the dialog answers meanwhile, and its subfolders come once the folder answers.
TEST_F(FolderListTest, AFolderThatDoesNotAnswerShowsReadingAndTheDialogGoesOn) {
    list->setLister(HeldAt(Folder("share"), letGo_));
    OpenRow(RowOf(Folder("share")));

    EXPECT_TRUE(list->isListing());
    EXPECT_EQ(list->path(), Folder("share"));
    const QListWidgetItem* last = list->item(list->count() - 1);
    EXPECT_EQ(last->text(), QString::fromUtf8("Reading\u2026"));
    EXPECT_EQ(last->flags(), Qt::NoItemFlags);
    EXPECT_EQ(list->currentRow(), list->count() - 2);
    EXPECT_TRUE(test::SaveScreenshot(*dialog, "settings-folder-reading"));

    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    ASSERT_TRUE(test::PumpUntil([&] { return ran; }));
    // Another folder can be opened meanwhile; the late listing is then dropped.
    const QString parent = QString::fromStdString(dir.path().string());
    OpenRow(RowOf(parent));
    ASSERT_TRUE(Listed());
    EXPECT_EQ(list->path(), parent);
    LetGo();
    test::SettleEvents();
    EXPECT_EQ(list->path(), parent);
    EXPECT_EQ(list->item(list->count() - 1)->text(), "share");

    list->setLister(ListFirstFolder);
    OpenRow(RowOf(Folder("share")));
    ASSERT_TRUE(Listed());
    EXPECT_EQ(list->item(list->count() - 1)->text(), "records");
}

// While the folder does not answer, Cancel still closes the dialog and writes nothing.
TEST_F(FolderListTest, CancelClosesTheDialogWhileAFolderDoesNotAnswer) {
    list->setLister(HeldAt(Folder("share"), letGo_));
    OpenRow(RowOf(Folder("share")));
    ASSERT_TRUE(list->isListing());

    test::FindControl<QPushButton>(*dialog, QStringLiteral("cmdCancel"))->click();

    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    dialog.reset();  // gone before the folder answers: the answer goes nowhere
    LetGo();
}

// A folder that cannot be read leaves the list at the folder it showed, and says so.
TEST_F(FolderListTest, AFolderThatCannotBeReadLeavesTheListWhereItWas) {
    const QString before = list->path();
    const int rows = list->count();
    bool refused = false;
    QObject::connect(list, &FolderList::folderRefused, [&refused] { refused = true; });

    list->openFolder(Folder("gone"));
    EXPECT_EQ(list->path(), Folder("gone"));
    ASSERT_TRUE(Listed());

    EXPECT_TRUE(refused);
    EXPECT_EQ(list->path(), before);
    EXPECT_EQ(list->count(), rows);
}

TEST(DriveListTest, DrivesComeFromTheMountTableAloneWithoutPseudoFileSystems) {
    const QByteArray mountInfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
        "24 22 0:5 / /dev rw - devtmpfs udev rw\n"
        "25 22 0:22 / /run rw - tmpfs tmpfs rw\n"
        "26 25 0:23 / /run/user/1000 rw - tmpfs tmpfs rw\n"
        "27 22 0:24 / /tmp rw - tmpfs tmpfs rw\n"
        "28 22 0:40 / /mnt/records rw - cifs //server/records rw\n"
        "29 22 0:41 / /mnt/records\\040two rw - nfs4 server:/two rw\n"
        "30 22 0:42 / /mnt/stall rw,nosuid master:7 - fuse stallfs rw\n"
        "31 22 0:43 / /media/stick rw - vfat /dev/sdb1 rw\n"
        "32 22 7:0 / /snap/core/1 ro - squashfs /dev/loop0 ro\n"
        "33 22 0:44 / /proc/sys/fs/binfmt_misc rw - binfmt_misc binfmt_misc rw\n"
        "broken line\n";
    const QList<MountPoint> mounts = MountPointsIn(mountInfo);

    EXPECT_EQ(DriveRoots(mounts), (QStringList{"/", "/media/stick", "/mnt/records",
                                               "/mnt/records two", "/mnt/stall", "/tmp"}));
    EXPECT_EQ(DriveRoots({}), QStringList{"/"});

    struct Case {
        const char* folder;
        const char* drive;
    };
    const Case cases[] = {
        {"/mnt/records/dock1/", "/mnt/records"},
        {"/mnt/records two/x", "/mnt/records two"},
        {"/mnt/recordsX", "/"},
        {"/mnt/stall", "/mnt/stall"},
        {"/run/user/1000/gvfs", "/run/user/1000"},
        {"/home/op", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DriveOf(QString::fromLatin1(c.folder), mounts), QString::fromLatin1(c.drive))
            << c.folder;
    }
}

}  // namespace
}  // namespace brisolant
