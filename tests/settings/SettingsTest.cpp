#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "settings/Settings.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::RecordingMessages;
using test::TempDir;
using test::WriteFile;

auto LoadedFields(const Settings& s) {
    return std::tie(s.CommPort, s.BaudRate, s.DataBits, s.Parity, s.StopBits, s.FilePath,
                    s.CloseTime, s.BranchID, s.ScaleFactor, s.RemoveInCm, s.RemoveLbKg,
                    s.ManualEntryData, s.FileDelimiter, s.ConvertCMtoMM, s.LogFileType);
}

// What the dialog writes into an empty folder when nothing was changed.
const std::string kDefaultFile =
    "[COMMUNICATION]\r\nCommPort=1\r\nBaudRate=9600\r\nDataBits=8\r\nParity=None\r\n"
    "StopBits=1\r\n\r\n[SETTINGS]\r\nFilePath=/\r\nCloseTime=00:00:00\r\nBranchID=\r\n"
    "ScaleFactor=\r\nRemove_InCm=0\r\nRemove_LbKg=0\r\nManualEntryData=0\r\nFileDelimiter=,\r\n"
    "ConvertCMtoMM=0\r\nLogFileType=0\r\n";

class SettingsFileTest : public ::testing::Test {
  protected:
    Settings Load() {
        Settings settings;
        LoadSettings(settings, dir.path().string(), messages);
        return settings;
    }
    Settings LoadFrom(const std::string& content) {
        WriteFile(ini, content);
        return Load();
    }
    void Save(const SettingsDialogValues& values) { SaveSettings(values, ini, messages); }

    TempDir dir;
    std::string ini = dir.file("Orvane.ini");
    RecordingMessages messages;
};

TEST(SettingsFilePathTest, NamesTheFileInTheProgramFolder) {
    EXPECT_EQ(SettingsFilePath("/opt/brisolant"), "/opt/brisolant/Orvane.ini");
}

TEST_F(SettingsFileTest, WithoutAFileEveryFieldTakesItsDefault) {
    Settings settings;
    settings.CommPort = "Comm 4";
    settings.FilePath = "/old/";
    settings.ManualEntryData = true;
    settings.LogFileType = 2;
    LoadSettings(settings, dir.path().string(), messages);

    EXPECT_EQ(settings.IniFilePath, ini);
    EXPECT_EQ(LoadedFields(settings), LoadedFields(Settings{}));
    EXPECT_EQ(settings.FilePath, "/");
    EXPECT_FALSE(fs::exists(ini));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFileTest, LoadsTheKeysTheDialogWrites) {
    const Settings s = LoadFrom(
        "[COMMUNICATION]\r\nCommPort=Comm 3\r\nBaudRate=19200\r\nDataBits=7\r\nParity=Even\r\n"
        "StopBits=2\r\nFlowControl=1\r\n\r\n[SETTINGS]\r\nFilePath=/data\r\nCloseTime=06:00:00\r\n"
        "BranchID=B12\r\nScaleFactor=9\r\nRemove_InCm=1\r\nRemove_LbKg=0\r\nManualEntryData=1\r\n"
        "FileDelimiter=;\r\nConvertCMtoMM=1\r\nLogFileType=1\r\n");
    EXPECT_EQ(s.CommPort, "Comm 3");
    EXPECT_EQ(s.BaudRate, "19200");
    EXPECT_EQ(s.DataBits, "7");
    EXPECT_EQ(s.Parity, "Even");
    EXPECT_EQ(s.StopBits, "2");
    EXPECT_EQ(s.FilePath, "/data");  // loaded as it stands, without the separator
    EXPECT_EQ(s.CloseTime, "06:00:00");
    EXPECT_EQ(s.BranchID, "B12");
    EXPECT_EQ(s.ScaleFactor, "");  // never read
    EXPECT_TRUE(s.RemoveInCm);     // read as Remove_incm
    EXPECT_FALSE(s.RemoveLbKg);    // read as Remove_lbkg
    EXPECT_TRUE(s.ManualEntryData);
    EXPECT_EQ(s.FileDelimiter, ";");
    EXPECT_TRUE(s.ConvertCMtoMM);
    EXPECT_EQ(s.LogFileType, 1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFileTest, TextFieldsKeepTheirTextUpTo255Characters) {
    const std::string branch(255, 'b');
    const Settings s = LoadFrom("[SETTINGS]\r\nBranchID=" + branch + "\r\nCloseTime=\r\n");
    EXPECT_EQ(s.BranchID, branch);
    EXPECT_EQ(s.CloseTime, "");  // present but empty: not the default
    EXPECT_TRUE(messages.shown.empty());
}

// A read holds 255 characters. A longer folder, cut, is another folder: the records would go
// there without a word.
TEST_F(SettingsFileTest, AValueLongerThanAReadHoldsIsCutAndReported) {
    const std::string folder = "/" + std::string(298, 'f') + "/";
    const Settings s = LoadFrom("[SETTINGS]\r\nFilePath=" + folder + "\r\nBranchID=B1\r\n");
    EXPECT_EQ(s.FilePath, folder.substr(0, 255));
    EXPECT_EQ(s.BranchID, "B1");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Settings");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 313. A setting is too long to be read whole: [SETTINGS] FilePath in " + ini +
                  " holds 300 characters; only the first 255 are used.");
}

TEST_F(SettingsFileTest, BooleanKeysTakeNumbersAndTrueOrFalse) {
    const struct {
        const char* text;
        bool expected;
    } cases[] = {{"True", true},   {"tRuE", true},   {"-1", true}, {"1", true},
                 {"False", false}, {"false", false}, {"0", false}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoadFrom(std::string("[SETTINGS]\r\nConvertCMtoMM=") + c.text).ConvertCMtoMM,
                  c.expected)
            << c.text;
    }
    EXPECT_TRUE(messages.shown.empty());
}

// A hand-edited key that does not convert takes its default; the rest of the file still loads.
TEST_F(SettingsFileTest, ABooleanOfTheWrongKindIsReportedAndTakesItsDefault) {
    for (const std::string text : {"", "yes"}) {
        messages.shown.clear();
        const Settings s = LoadFrom("[SETTINGS]\r\nManualEntryData=" + text +
                                    "\r\nFileDelimiter=;\r\nLogFileType=2\r\n");
        EXPECT_FALSE(s.ManualEntryData);
        EXPECT_EQ(s.FileDelimiter, ";");
        EXPECT_EQ(s.LogFileType, 2);
        ASSERT_EQ(messages.shown.size(), 1u) << text;
        EXPECT_EQ(messages.shown[0].title, "Settings");
        EXPECT_EQ(messages.shown[0].text,
                  "Error: 311. A setting has a value of the wrong kind: [SETTINGS] "
                  "ManualEntryData = \"" +
                      text + "\"; the default 0 is used.");
    }
}

// A password in the connection is not used, and has a number of its own (it shared 311 with a
// setting of the wrong kind).
TEST_F(SettingsFileTest, APasswordInTheConnectionIsReportedUnderItsOwnNumberAndLeftOut) {
    const Settings s =
        LoadFrom("[DATABASE]\r\nConnection=host=records.depot password=secret dbname=depot\r\n");
    EXPECT_EQ(s.DatabaseConnection, "host=records.depot dbname=depot");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error: 315. [DATABASE] Connection holds a password, which the program does not "
              "use: it reads passwords from ~/.pgpass or PGPASSFILE, and connects without it.");
}

TEST_F(SettingsFileTest, LogFileTypeIsASixteenBitNumberRoundedHalfToEven) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {{"1", 1}, {"2", 2}, {"2.5", 2}, {"0.5", 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(LoadFrom(std::string("[SETTINGS]\r\nLogFileType=") + c.text).LogFileType,
                  c.expected)
            << c.text;
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFileTest, ALogFileTypeOutOfRangeIsReportedAndTakesItsDefault) {
    EXPECT_EQ(LoadFrom("[SETTINGS]\r\nLogFileType=40000\r\n").LogFileType, 0);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Settings");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 312. A setting is out of range: [SETTINGS] LogFileType = \"40000\"; the "
              "default 0 is used.");
}

// A file name without its date, or the folder alone, would refuse every scan: such a value is
// refused as the settings load, and the scans go to the default day's file.
TEST_F(SettingsFileTest, ALogFileTypeThatNamesNoFileIsRefusedAndTakesItsDefault) {
    for (const char* text : {"3", "-1", "32767"}) {
        messages.shown.clear();
        EXPECT_EQ(LoadFrom(std::string("[SETTINGS]\r\nLogFileType=") + text).LogFileType, 0);
        ASSERT_EQ(messages.shown.size(), 1u) << text;
        EXPECT_EQ(
            messages.shown[0].text,
            std::string("Error: 312. A setting is out of range: [SETTINGS] LogFileType = \"") +
                text + "\"; it may be 0, 1 or 2; the default 0 is used.");
    }
}

TEST_F(SettingsFileTest, ABranchIdThatCannotBePartOfAFileNameIsRefused) {
    const struct {
        std::string stored;
        std::string shown;
    } cases[] = {{"A/B", "A/B"}, {std::string("A\0B", 3), "A\\x00B"}, {"/", "/"}};
    for (const auto& c : cases) {
        messages.shown.clear();
        EXPECT_EQ(LoadFrom("[SETTINGS]\r\nBranchID=" + c.stored + "\r\n").BranchID, "");
        ASSERT_EQ(messages.shown.size(), 1u) << c.shown;
        EXPECT_EQ(messages.shown[0].text,
                  "Error: 314. A setting cannot be part of a data file's name: [SETTINGS] "
                  "BranchID = \"" +
                      c.shown +
                      "\"; a file name cannot hold \"/\" or a NUL; no branch identifier "
                      "is used.");
    }
    EXPECT_EQ(LoadFrom("[SETTINGS]\r\nBranchID=Dock 1.b\r\n").BranchID, "Dock 1.b");
}

TEST_F(SettingsFileTest, AnUnreadableFileGivesOneMessageAndAllDefaults) {
    fs::create_directory(ini);
    const Settings s = Load();
    EXPECT_EQ(LoadedFields(s), LoadedFields(Settings{}));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Settings");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 301. Cannot read the settings file: " + ini + ": Is a directory");
}

TEST_F(SettingsFileTest, SavingDefaultsCreatesBothSectionsWithEveryKeyInOrder) {
    Save(DialogValuesFrom(Settings{}));
    EXPECT_EQ(ReadFile(ini), kDefaultFile);
    EXPECT_EQ(LoadedFields(Load()), LoadedFields(Settings{}));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFileTest, SavedValuesLoadBack) {
    SettingsDialogValues values = DialogValuesFrom(Settings{});
    values.CommPort = "Comm 2";
    values.BaudRate = "115200";
    values.FilePath = "/srv/scans/";
    values.BranchID = "North";
    values.RemoveInCm = true;
    values.RemoveLbKg = true;
    values.ManualEntryData = true;
    values.FileDelimiter = "|";
    values.ConvertCMtoMM = true;
    values.LogFileType = 2;
    Save(values);

    const Settings s = Load();
    EXPECT_EQ(s.CommPort, "Comm 2");
    EXPECT_EQ(s.BaudRate, "115200");
    EXPECT_EQ(s.FilePath, "/srv/scans/");
    EXPECT_EQ(s.BranchID, "North");
    EXPECT_TRUE(s.RemoveInCm && s.RemoveLbKg && s.ManualEntryData && s.ConvertCMtoMM);
    EXPECT_EQ(s.FileDelimiter, "|");
    EXPECT_EQ(s.LogFileType, 2);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(SettingsFileTest, NoFileNameDateChosenLeavesTheStoredOneAndOtherKeysAlone) {
    const Settings loaded = LoadFrom(
        "[COMMUNICATION]\r\nFlowControl=1\r\n[SETTINGS]\r\nLogFileType=1\r\nScaleFactor=7\r\n");
    SettingsDialogValues values = DialogValuesFrom(loaded);
    values.LogFileType = -1;
    Save(values);

    const std::string saved = ReadFile(ini);
    EXPECT_NE(saved.find("LogFileType=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("FlowControl=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("ScaleFactor=\r\n"), std::string::npos);
    EXPECT_EQ(Load().LogFileType, 1);
}

// A read trims blanks: a blank delimiter written plain would come back empty, and the record
// format would change at the next start. Between quotes it comes back as it was.
TEST_F(SettingsFileTest, ABlankDelimiterIsWrittenQuotedAndReadsBackWhole) {
    for (const std::string delimiter : {" ", "\t"}) {
        SettingsDialogValues values = DialogValuesFrom(Settings{});
        values.FileDelimiter = delimiter;
        Save(values);
        EXPECT_NE(ReadFile(ini).find("FileDelimiter=\"" + delimiter + "\"\r\n"), std::string::npos);
        EXPECT_EQ(Load().FileDelimiter, delimiter);
    }
}

// Each refused key is silent, but the dialog's OK must never lose every change without a word.
TEST_F(SettingsFileTest, ASaveThatCannotBeStoredTellsTheOperatorOnce) {
    WriteFile(dir.file("plain"), "x");
    const std::string place = dir.file("plain/Orvane.ini");
    SaveSettings(DialogValuesFrom(Settings{}), place, messages);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "Settings");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 303. The settings were not saved: neither the file nor its folder can be "
              "written: " +
                  place);
}

TEST_F(SettingsFileTest, ASaveIntoTheUsersConfigurationMakesItsFolders) {
    const std::string nested = dir.file("config/Orvane/Orvane.ini");
    SaveSettings(DialogValuesFrom(Settings{}), nested, messages, true);
    EXPECT_EQ(ReadFile(nested), kDefaultFile);
    EXPECT_EQ(fs::status(dir.file("config/Orvane")).permissions(), fs::perms::owner_all);
    EXPECT_TRUE(messages.shown.empty());
}

TEST(DialogValuesFromTest, ShowsTheRecordWithAPathBoxEndingInASeparator) {
    Settings settings;
    settings.FilePath = "/data";
    settings.BranchID = "B7";
    settings.ConvertCMtoMM = true;
    const SettingsDialogValues values = DialogValuesFrom(settings);
    EXPECT_EQ(values.FilePath, "/data/");
    EXPECT_EQ(values.BranchID, "B7");
    EXPECT_TRUE(values.ConvertCMtoMM);
    EXPECT_EQ(values.CommPort, "1");

    settings.FilePath = "";
    EXPECT_EQ(DialogValuesFrom(settings).FilePath, "/");
    settings.FilePath = "/";
    EXPECT_EQ(DialogValuesFrom(settings).FilePath, "/");
}

TEST(DialogValuesFromTest, ChoosesAFileNameDateOnlyForZeroToTwo) {
    const struct {
        std::int16_t stored;
        int shown;
    } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {-1, -1}, {32767, -1}};
    for (const auto& c : cases) {
        Settings settings;
        settings.LogFileType = c.stored;
        EXPECT_EQ(DialogValuesFrom(settings).LogFileType, c.shown) << c.stored;
    }
}

}  // namespace
}  // namespace brisolant
