#include "about/qt/frmAbout.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <memory>

#include "support/FindControl.h"
#include "support/QtTestApp.h"
#include "support/Screenshot.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

class RecordingLauncher : public ProgramLauncher {
  public:
    bool FileExists(const std::string&) const override { return true; }
    bool Start(const std::string& path) override {
        started.push_back(path);
        return true;
    }
    std::vector<std::string> started;
};

class frmAboutTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { test::EnsureQtApplication(); }
    void SetUp() override {
        dialog = std::make_unique<frmAbout>(messages, registry, launcher);
        dialog->show();
    }
    template <typename Widget>
    Widget* Find(const char* name) {
        return test::FindControl<Widget>(*dialog, QLatin1String(name));
    }

    test::RecordingMessages messages;
    EmptyRegistry registry;
    RecordingLauncher launcher;
    std::unique_ptr<frmAbout> dialog;
};

TEST_F(frmAboutTest, ShowsCaptionVersionAndOnlyTheVisibleElements) {
    EXPECT_EQ(dialog->windowTitle(), "About Brisolant");
    EXPECT_EQ(Find<QLabel>("lblVersion")->text(), "Version 1.0.17");
    EXPECT_TRUE(Find<QLabel>("lblVersion")->isVisible());
    EXPECT_FALSE(Find<QLabel>("lblDisclaimer")->isVisible());
    EXPECT_FALSE(Find<QLabel>("lblDescription")->isVisible());
    EXPECT_EQ(Find<QPushButton>("cmdSysInfo")->text(), "&System Info...");
    EXPECT_TRUE(Find<QPushButton>("cmdOK")->isDefault());
    EXPECT_EQ(dialog->focusWidget(), Find<QPushButton>("cmdOK"));
    EXPECT_TRUE(test::SaveScreenshot(*dialog, "about"));
}

// Whoever looks after the PC reads here which files this instance uses; a long path wraps after
// a "/" and stays whole.
TEST_F(frmAboutTest, ShowsWhereTheSettingsAndTheRecordsAre) {
    const QString settingsFile = QStringLiteral("/home/operator/.config/Orvane/Orvane.ini");
    const QString dataFolder =
        QStringLiteral("/srv/") + QString(60, QLatin1Char('x')) + QStringLiteral("/records/");
    dialog->ShowLocations(settingsFile, dataFolder);
    auto* label = Find<QLabel>("lblLocations");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->isVisible());
    const QString full =
        QStringLiteral("Settings: ") + settingsFile + QStringLiteral("\nData: ") + dataFolder;
    EXPECT_EQ(label->text().remove(QChar(0x200B)), full);
    EXPECT_EQ(label->toolTip(), full);
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "every line shows";
    EXPECT_TRUE(dialog->rect().contains(label->geometry()));
    EXPECT_GE(label->geometry().top(), Find<QPushButton>("cmdSysInfo")->geometry().bottom());
    EXPECT_TRUE(test::SaveScreenshot(*dialog, "about-locations"));
}

// Linux has no registry, so the tool is never found.
TEST_F(frmAboutTest, SystemInfoWithoutRegistryShowsTheMessageAndStaysOpen) {
    Find<QPushButton>("cmdSysInfo")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Brisolant");
    EXPECT_EQ(messages.shown[0].text, "System Information Is Unavailable At This Time");
    EXPECT_TRUE(launcher.started.empty());
    EXPECT_TRUE(dialog->isVisible());
}

TEST_F(frmAboutTest, EnterEscapeAndOkCloseTheBox) {
    struct Case {
        const char* name;
        int key;  // 0: click OK
    };
    for (const Case& row :
         {Case{"Escape", Qt::Key_Escape}, Case{"Enter", Qt::Key_Return}, Case{"OK", 0}}) {
        SCOPED_TRACE(row.name);
        SetUp();
        if (row.key != 0) {
            test::PressKey(dialog.get(), row.key);
        } else {
            Find<QPushButton>("cmdOK")->click();
        }
        EXPECT_FALSE(dialog->isVisible());
    }
}

}  // namespace
}  // namespace brisolant
