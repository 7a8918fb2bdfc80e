// What the operator is told when the disk, the line or the settings file fails, read from the
// real main window; and that the program goes on recording once the fault is gone.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>

#include "device/CommHandler.h"
#include "support/PseudoTerminal.h"
#include "support/QtTestApp.h"
#include "support/TestSupport.h"
#include "window/qt/ValueBox.h"
#include "window/qt/frmMain.h"

namespace brisolant::test {
namespace {

namespace fs = std::filesystem;

// The main window, keeping every text panel 1 is given: a line scan's hand-off shows
// "Status: Waiting Idle" right after processing, over whatever the processing reported.
class RecordingMain : public frmMain {
  public:
    using frmMain::frmMain;
    void SetStatusText(const std::string& text) override {
        panel1.push_back(text);
        frmMain::SetStatusText(text);
    }
    // The panel 1 texts that begin with the prefix.
    std::vector<std::string> Panel1Starting(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& text : panel1) {
            if (text.starts_with(prefix)) {
                found.push_back(text);
            }
        }
        return found;
    }
    std::vector<std::string> panel1;
};

// Closes every message box as soon as it is up and keeps its title and text.
class MessageBoxCloser {
  public:
    MessageBoxCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts.push_back(box->windowTitle().toStdString() + "|" + box->text().toStdString());
                box->accept();
            }
        });
        timer_.start(10);
    }
    std::vector<std::string> texts;

  private:
    QTimer timer_;
};

class FaultsInWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        EnsureQtApplication();
        if (!pty.ok()) {
            GTEST_SKIP() << "no pseudo-terminal available";
        }
    }

    // LogFileType 2 names the data file "LOG-.txt" whatever the day.
    void WriteSettings(const std::string& filePath, const std::string& extra = {}) {
        WriteFile(settingsFile(), "[COMMUNICATION]\r\nCommPort=" + pty.path() +
                                      "\r\n[SETTINGS]\r\nFilePath=" + filePath +
                                      "\r\nLogFileType=2\r\n" + extra);
    }
    RecordingMain& Open() {
        window = std::make_unique<RecordingMain>(program.path().string());
        window->show();
        return *window;
    }
    std::string settingsFile() const { return program.file("Orvane.ini"); }
    QString Box(const char* name) const {
        return window->findChild<ValueBox*>(QString::fromLatin1(name))->Text();
    }
    QString Panel1() const { return window->findChild<QLabel*>("lblPanel1")->toolTip(); }
    void SendScan() { pty.Write("\x02" + CommHandler::TestScanText()); }

    PseudoTerminal pty;
    TempDir program;
    TempDir data;
    std::unique_ptr<RecordingMain> window;
};

struct DataFault {
    const char* name;
    std::string folder;  // FilePath below the test's data folder
    // Both take the data folder, without the final "/".
    std::function<void(const fs::path& folder)> inject;
    std::function<void(const fs::path& folder)> clear;
    std::string cause;  // what panel 1 shows after the waiting count, before the path
};

void PrintTo(const DataFault& fault, std::ostream* out) {
    *out << fault.name;
}

const DataFault kDataFaults[] = {
    {"FolderMissing", "later/", [](const fs::path&) {},
     [](const fs::path& folder) { fs::create_directory(folder); }, "Cannot open the data file: "},
    // Root may write anywhere, but not below a regular file.
    {"FolderIsARegularFile", "plain/",
     [](const fs::path& folder) { WriteFile(folder.string(), "plain"); },
     [](const fs::path& folder) {
         fs::remove(folder);
         fs::create_directory(folder);
     },
     "Cannot open the data file: "},
    {"FileIsAFolder", "", [](const fs::path& folder) { fs::create_directory(folder / "LOG-.txt"); },
     [](const fs::path& folder) { fs::remove(folder / "LOG-.txt"); },
     "Cannot open the data file: "},
    {"FileIsADevice", "",
     [](const fs::path& folder) { fs::create_symlink("/dev/null", folder / "LOG-.txt"); },
     [](const fs::path& folder) { fs::remove(folder / "LOG-.txt"); },
     "The data file is not a regular file: "},
};

const char* const kReasons[] = {"No such file or directory", "Not a directory", "Is a directory",
                                "a character device"};

class DataFaultsInWindowTest : public FaultsInWindowTest,
                               public ::testing::WithParamInterface<DataFault> {};

TEST_P(DataFaultsInWindowTest, TheScansWaitCountedInPanelOneAndAreWrittenInOrderOnceItIsCleared) {
    const DataFault& fault = GetParam();
    const std::string filePath = data.folder() + fault.folder;
    const fs::path folder = fs::path(filePath).parent_path();
    const std::string file = filePath + "LOG-.txt";
    fault.inject(folder);
    WriteSettings(filePath);
    RecordingMain& w = Open();

    // From the line, then by the Test command: each waits, and panel 1 says how many wait and
    // why.
    const auto waiting = [&](int count) {
        return QString::fromStdString(
            "Status: 126 Scans are waiting to be written: " + std::to_string(count) + " waiting; " +
            fault.cause + file + ": ");
    };
    SendScan();
    ASSERT_TRUE(PumpUntil([&] { return Panel1().startsWith(waiting(1)); }))
        << Panel1().toStdString();
    QAction* test = w.findChild<QAction*>("mnuTest");
    test->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Panel1().startsWith(waiting(2)); }))
        << Panel1().toStdString();
    const std::string report = Panel1().toStdString();
    EXPECT_TRUE(std::any_of(std::begin(kReasons), std::end(kReasons), [&](const char* reason) {
        return report.ends_with(reason);
    })) << report;
    EXPECT_EQ(Box("txtCounter"), "0");
    EXPECT_TRUE(Box("txtData0").startsWith("1234567890")) << "the scan is still shown";
    EXPECT_FALSE(fs::is_regular_file(file) && fs::file_size(file) > 0) << ReadFile(file);

    fault.clear(folder);
    SendScan();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "3"; })) << Panel1().toStdString();
    const std::string content = ReadFile(file);
    ASSERT_EQ(content.size(), 3 * 141u) << content;
    for (std::size_t line = 0; line < 3; ++line) {
        EXPECT_EQ(content.substr(line * 141 + 104, 37), "1234567890                         \r\n")
            << content;
    }
    EXPECT_EQ(Panel1(), "Status: Waiting Idle");
}

INSTANTIATE_TEST_SUITE_P(Faults, DataFaultsInWindowTest, ::testing::ValuesIn(kDataFaults),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(FaultsInWindowTest, AVanishedPortIsReportedOnceAndTheTestCommandStillWrites) {
    WriteSettings(data.folder());
    RecordingMain& w = Open();
    pty.CloseMaster();
    ASSERT_TRUE(PumpUntil([&] { return !w.Panel1Starting("Status: 207 ").empty(); }));
    EXPECT_FALSE(w.Comm().PortOpen());
    SettleEvents();
    EXPECT_EQ(w.Panel1Starting("Status: 207 ").size(), 1u);

    w.findChild<QAction*>("mnuTest")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
    EXPECT_EQ(ReadFile(data.file("LOG-.txt")).size(), 141u);
}

struct SettingsFault {
    const char* name;
    // Makes the settings file for the port and the data folder.
    std::function<void(const std::string& path, const std::string& port, const std::string& folder)>
        make;
    std::string message;  // the start of the one message box, or "" for none
    std::string panel1;   // the start of panel 1 once the window is up
};

void PrintTo(const SettingsFault& fault, std::ostream* out) {
    *out << fault.name;
}

// Settings naming the port and the data folder, with the extra line before and inside each
// section and as an unknown key's value.
std::string SettingsFor(const std::string& port, const std::string& folder,
                        const std::string& extra) {
    return extra + "\r\n[COMMUNICATION]\r\n" + extra + "\r\nCommPort=" + port + "\r\n" + extra +
           "\r\n[SETTINGS]\r\n" + extra + "\r\nFilePath=" + folder +
           "\r\nLogFileType=2\r\nUnknown=" + extra + "\r\n";
}

const SettingsFault kSettingsFaults[] = {
    {"FolderInPlaceOfTheFile",
     [](const std::string& path, const std::string&, const std::string&) {
         fs::create_directory(path);
     },
     "Settings|Error: 301. ", ""},
    {"FifoInPlaceOfTheFile",
     [](const std::string& path, const std::string&, const std::string&) {
         ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
     },
     "Settings|Error: 301. ", ""},
    {"BinaryBytesInABooleanKey",
     [](const std::string& path, const std::string& port, const std::string& folder) {
         WriteFile(path,
                   SettingsFor(port, folder, "") + "Remove_InCm=" + AllBytesButLineEnds() + "\r\n");
     },
     "Settings|Error: 311. ", "Status: Waiting Idle"},
    {"BinaryBytesEverywhereElse",
     [](const std::string& path, const std::string& port, const std::string& folder) {
         WriteFile(path, SettingsFor(port, folder, AllBytesButLineEnds()));
     },
     "", "Status: Waiting Idle"},
    {"LinesOf100000Characters",
     [](const std::string& path, const std::string& port, const std::string& folder) {
         WriteFile(path, SettingsFor(port, folder, std::string(100000, 'x')));
     },
     "", "Status: Waiting Idle"},
    {"APortNameOf100000Characters",
     [](const std::string& path, const std::string&, const std::string& folder) {
         WriteFile(path, SettingsFor(std::string(100000, 'x'), folder, ""));
     },
     "Settings|Error: 313. A setting is too long to be read whole: [COMMUNICATION] CommPort in ",
     "Status: 203 "},
};

class SettingsFaultsInWindowTest : public FaultsInWindowTest,
                                   public ::testing::WithParamInterface<SettingsFault> {};

TEST_P(SettingsFaultsInWindowTest, TheWindowComesUpAndSaysWhatItCouldNotUse) {
    const SettingsFault& fault = GetParam();
    fault.make(settingsFile(), pty.path(), data.folder());
    MessageBoxCloser closer;
    Open();
    if (fault.message.empty()) {
        EXPECT_EQ(closer.texts, std::vector<std::string>{});
    } else {
        ASSERT_EQ(closer.texts.size(), 1u);
        EXPECT_TRUE(closer.texts[0].starts_with(fault.message)) << closer.texts[0];
    }
    EXPECT_TRUE(Panel1().startsWith(QString::fromStdString(fault.panel1)))
        << Panel1().toStdString();
    // Whatever else it could not use, the Test command records while the file still names
    // the data folder (without it, the data would go to the root folder).
    if (fs::is_regular_file(settingsFile())) {
        window->findChild<QAction*>("mnuTest")->trigger();
        ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == "1"; }));
        EXPECT_EQ(ReadFile(data.file("LOG-.txt")).size(), 141u);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsFaultsInWindowTest, ::testing::ValuesIn(kSettingsFaults),
                         [](const auto& row) { return std::string(row.param.name); });

// Types the answer into the next input box once it is up. It is looked for from timers, since
// the window runs the event loop before the box opens.
void AnswerPromptWhenItOpens(const QString& answer, int triesLeft = kTriesEvery10Ms) {
    QTimer::singleShot(10, [answer, triesLeft] {
        auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (input != nullptr) {
            input->setTextValue(answer);
            input->accept();
        } else if (triesLeft > 0) {
            AnswerPromptWhenItOpens(answer, triesLeft - 1);
        }
    });
}

// The operator's answer to the manual-entry prompt carrying every character code from 0 to 255
// and a few beyond Latin-1, 50 to a scan as the field holds: each record stays one line of
// 190 characters, control characters blanked and the others written as "?".
TEST_F(FaultsInWindowTest, OperatorTextWithEveryCharacterKeepsOneRecordPerLine) {
    WriteSettings(data.folder(), "ManualEntryData=1\r\n");
    RecordingMain& w = Open();
    QString all;
    for (int code = 0; code < 256; ++code) {
        all += QChar(code);
    }
    all += QString::fromUtf8("\u2713\u03b5\u20ac\U0001F4E6");
    std::string expected;
    for (qsizetype from = 0; from < all.size(); from += 50) {
        const QString answer = all.mid(from, 50);
        AnswerPromptWhenItOpens(answer);
        w.findChild<QAction*>("mnuTest")->trigger();
        std::string field;
        for (const char32_t code : answer.toUcs4()) {
            field += code == '\r' || code == '\n' ? ' '
                     : code > 255                 ? '?'
                                                  : static_cast<char>(code);
        }
        field.resize(50, ' ');
        expected += field;
    }
    const auto records = static_cast<int>((all.size() + 49) / 50);
    ASSERT_TRUE(PumpUntil([&] { return Box("txtCounter") == QString::number(records); }));
    const std::string content = ReadFile(data.file("LOG-.txt"));
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t end = content.find("\r\n", at);
        ASSERT_NE(end, std::string::npos) << "an unended line";
        lines.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    ASSERT_EQ(lines.size(), (all.size() + 49) / 50);
    std::string written;
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), 190u) << line;
        written += line.substr(140);
    }
    EXPECT_EQ(written, expected);
}

}  // namespace
}  // namespace brisolant::test
