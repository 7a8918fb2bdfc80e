#include "device/qt/QtPortWatch.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/QtWaiting.h"
#include "support/TestSupport.h"

namespace brisolant::test {
namespace {

namespace fs = std::filesystem;

class QtPortWatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        watch.SetHandler([this] { ++fired; });
    }

    TempDir links;
    TempDir devices;
    // A tick too slow to matter here: whatever fires is the folder watch.
    QtPortWatch watch{nullptr, 3600 * 1000};
    int fired = 0;
};

// A link made again (a USB adapter plugged back in under /dev/serial/by-id) is seen through
// the link's folder, without waiting for the tick.
TEST_F(QtPortWatchTest, ALinkMadeAgainIsSeenThroughItsFolder) {
    const std::string link = links.file("usb-station-port0");
    WriteFile(devices.file("ttyUSB0"), "");
    watch.Start(link);
    EXPECT_TRUE(watch.Running());
    EXPECT_TRUE(watch.WatchedFolders().contains(QString::fromStdString(links.folder()).chopped(1)));
    fs::create_symlink(devices.file("ttyUSB0"), link);
    ASSERT_TRUE(PumpUntil([&] { return fired > 0; }));
}

TEST_F(QtPortWatchTest, TheFoldersOfALinkAndOfItsTargetAreWatchedAndNothingAfterStop) {
    const std::string link = links.file("usb-station-port0");
    fs::create_symlink(devices.file("ttyUSB0"), link);
    watch.Start(link);
    const QStringList folders = watch.WatchedFolders();
    EXPECT_EQ(folders.size(), 2) << folders.join(' ').toStdString();
    EXPECT_TRUE(folders.contains(QString::fromStdString(devices.folder()).chopped(1)));

    watch.Stop();
    EXPECT_FALSE(watch.Running());
    EXPECT_TRUE(watch.WatchedFolders().isEmpty());
}

// /dev/serial/by-id exists only while some USB serial device is plugged in: the folders
// appear one by one, and only the link itself is worth an open attempt.
TEST_F(QtPortWatchTest, FoldersMadeOneByOneAreFollowedDownToTheLink) {
    const std::string link = links.file("serial/by-id/usb-station-port0");
    watch.Start(link);
    EXPECT_EQ(watch.WatchedFolders(),
              QStringList{QString::fromStdString(links.folder()).chopped(1)});
    const QString serial = QString::fromStdString(links.file("serial"));
    const QString byId = QString::fromStdString(links.file("serial/by-id"));
    fs::create_directory(links.file("serial"));
    ASSERT_TRUE(PumpUntil([&] { return watch.WatchedFolders().contains(serial); }));
    fs::create_directory(links.file("serial/by-id"));
    ASSERT_TRUE(PumpUntil([&] { return watch.WatchedFolders().contains(byId); }));
    EXPECT_EQ(fired, 0) << "nothing to open yet";

    WriteFile(devices.file("ttyUSB0"), "");
    fs::create_symlink(devices.file("ttyUSB0"), link);
    ASSERT_TRUE(PumpUntil([&] { return fired > 0; }));
}

// What no folder tells (permissions set a moment after the node appears) the tick catches.
TEST_F(QtPortWatchTest, TheTickRunsOnlyWhileStarted) {
    QtPortWatch ticking(nullptr, 20);
    int ticks = 0;
    ticking.SetHandler([&] { ++ticks; });
    EXPECT_FALSE(ticking.Running());
    WriteFile(devices.file("ttyUSB0"), "");
    ticking.Start(devices.file("ttyUSB0"));
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 2; }));
    ticking.Stop();
    EXPECT_FALSE(ticking.Running());
}

}  // namespace
}  // namespace brisolant::test
