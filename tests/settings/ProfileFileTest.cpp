#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>

#include "settings/ProfileFile.h"
#include "support/FakeFiles.h"
#include "support/ProfileReading.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::INIGetSettingString;
using test::ReadFile;
using test::RecordingMessages;
using test::TempDir;
using test::WriteFile;

class ProfileFileTest : public ::testing::Test {
  protected:
    std::string Read(const std::string& section, const std::string& key,
                     const std::string& defaultValue = "dflt") {
        return INIGetSettingString(section, key, path, defaultValue, messages);
    }
    bool Write(const std::string& section, const std::string& key, const std::string& value) {
        return INIWriteSetting(section, key, value, path, messages);
    }
    std::vector<std::string> FolderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    TempDir dir;
    std::string path = dir.file("Orvane.ini");
    RecordingMessages messages;
};

TEST_F(ProfileFileTest, ReadingAMissingFileGivesTheDefaultAndCreatesNothing) {
    EXPECT_EQ(Read("SETTINGS", "FilePath", "/"), "/");
    EXPECT_FALSE(fs::exists(path));
    // A path through a regular file is as missing as any other.
    WriteFile(dir.file("plain"), "x");
    EXPECT_EQ(INIGetSettingString("S", "k", dir.file("plain") + "/Orvane.ini", "d", messages), "d");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProfileFileTest, ReadingLeavesTheFileAsItWas) {
    WriteFile(path, "[S]\nk= \"v\" \n");
    const auto before = fs::last_write_time(path);
    EXPECT_EQ(Read("s", "K"), "v");
    EXPECT_EQ(Read("S", "other"), "dflt");
    EXPECT_EQ(ReadFile(path), "[S]\nk= \"v\" \n");
    EXPECT_EQ(fs::last_write_time(path), before);
}

TEST_F(ProfileFileTest, AFolderInPlaceOfTheFileIsAReadFailure) {
    fs::create_directory(path);
    EXPECT_EQ(Read("S", "k"), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "INIGetSettingString");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 301. Cannot read the settings file: " + path + ": Is a directory");
}

TEST_F(ProfileFileTest, AFileWithoutReadPermissionIsAReadFailure) {
    WriteFile(path, "[S]\r\nk=1\r\n");
    test::FakeFileLayer files;
    files.failures["openread Orvane.ini"] = EACCES;
    EXPECT_EQ(INIGetSettingString("S", "k", path, "dflt", messages, files), "");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Error: 301. Cannot read the settings file: " + path + ": Permission denied");
}

TEST_F(ProfileFileTest, WritingCreatesTheFileWithHeaderAndEntry) {
    EXPECT_TRUE(Write("SETTINGS", "FilePath", "/data/"));
    EXPECT_EQ(ReadFile(path), "[SETTINGS]\r\nFilePath=/data/\r\n");
    EXPECT_EQ(Read("SETTINGS", "FilePath"), "/data/");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProfileFileTest, WritingAKeyStoredInOtherCaseLeavesOneEntry) {
    WriteFile(path, "[settings]\r\nremove_incm=0\r\nFlowControl=0\r\n");
    EXPECT_TRUE(Write("SETTINGS", "Remove_InCm", "1"));
    EXPECT_EQ(ReadFile(path), "[settings]\r\nremove_incm=1\r\nFlowControl=0\r\n");
}

TEST_F(ProfileFileTest, WritingWhereNoFolderCanBeWrittenIsRefusedSilently) {
    WriteFile(dir.file("plain"), "x");
    const std::string places[] = {dir.file("missing/Orvane.ini"), dir.file("plain/Orvane.ini"),
                                  "/proc/Orvane.ini", ""};
    for (const std::string& place : places) {
        EXPECT_FALSE(INIWriteSetting("S", "k", "v", place, messages)) << place;
    }
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadFile(dir.file("plain")), "x");
}

// A folder closed to writing refuses every new file in it and every rename into it.
TEST_F(ProfileFileTest, WritingIntoAReadOnlyFolderIsRefusedSilently) {
    test::FakeFileLayer files;
    files.inject = [](const std::string& step) {
        return step.starts_with("create ") || step.starts_with("rename ") ? EACCES : 0;
    };
    EXPECT_FALSE(INIWriteSetting("S", "k", "v", path, messages, files));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(FolderEntries().empty());
}

// A common set-up: the program in a protected folder, its settings file opened to operators.
TEST_F(ProfileFileTest, AWritableFileInAFolderClosedToWritingIsRewrittenInPlace) {
    WriteFile(path, "[S]\r\nk=1\r\nlong=" + std::string(100, 'x') + "\r\n");
    fs::permissions(path, fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                             fs::perms::others_exec));
    {
        test::FolderClosedToWriter closed(dir.path());
        if (!closed.Usable()) {
            GTEST_SKIP() << "the temporary folder cannot be closed to a writer here";
        }
        EXPECT_TRUE(Write("S", "k", "2"));
        EXPECT_TRUE(Write("S", "long", ""));  // the file gets shorter: nothing of the old tail
        EXPECT_TRUE(Write("T", "j", "3"));
        EXPECT_FALSE(INIWriteSetting("S", "k", "v", dir.file("new.ini"), messages));
    }
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=2\r\nlong=\r\n\r\n[T]\r\nj=3\r\n");
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Orvane.ini"});
    EXPECT_TRUE(messages.shown.empty());
}

// Even the superuser leaves a settings file alone that nobody may write.
TEST_F(ProfileFileTest, AReadOnlyFileStaysReadOnlyAndUnchanged) {
    WriteFile(path, "[S]\r\nk=1\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    EXPECT_FALSE(Write("S", "k", "2"));
    EXPECT_FALSE(Write("T", "k", "2"));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=1\r\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::group_read);
}

TEST_F(ProfileFileTest, AFolderInPlaceOfTheFileIsAWriteFailure) {
    fs::create_directory(path);
    EXPECT_FALSE(Write("S", "k", "v"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "INIWriteSetting");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 302. Cannot write the settings file: " + path + ": Is a directory");
    EXPECT_TRUE(fs::is_directory(path));
}

TEST_F(ProfileFileTest, AValueWithALineEndIsRefusedRatherThanSplitIntoEntries) {
    WriteFile(path, "[S]\r\nk=1\r\n");
    EXPECT_FALSE(Write("S", "k", "2\r\n[T]\r\nx=evil"));
    EXPECT_EQ(ReadFile(path), "[S]\r\nk=1\r\n");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProfileFileTest, ReplacingKeepsPermissionsAndLeavesNoTemporaryFile) {
    WriteFile(path, "[S]\r\nk=1\r\n");
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(path, mode);
    EXPECT_TRUE(Write("S", "k", "2"));
    EXPECT_EQ(fs::status(path).permissions(), mode);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Orvane.ini"});
}

TEST_F(ProfileFileTest, WritingThroughASymbolicLinkUpdatesItsTarget) {
    const std::string target = dir.file("real.ini");
    WriteFile(target, "[S]\r\nk=1\r\n");
    fs::create_symlink(target, path);
    EXPECT_TRUE(Write("S", "k", "2"));
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(ReadFile(target), "[S]\r\nk=2\r\n");
}

// The disk fills up while the new content is written: the old file must survive whole.
TEST_F(ProfileFileTest, AWriteThatFailsMidwayLeavesTheOldFileWhole) {
    const std::string old = "[S]\r\nk=1\r\nother=keep\r\n";
    WriteFile(path, old);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 64;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool stored = Write("S", "k", std::string(200, 'x'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);

    EXPECT_FALSE(stored);
    EXPECT_EQ(ReadFile(path), old);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Orvane.ini"});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, "INIWriteSetting");
    EXPECT_EQ(messages.shown[0].text,
              "Error: 302. Cannot write the settings file: " + path + ": File too large");
}

TEST_F(ProfileFileTest, BinaryJunkIsReadAndKeptAroundAStoredEntry) {
    std::string junk(4096, '\0');
    for (std::size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<char>(i * 7919 % 256);
    }
    WriteFile(path, junk);
    EXPECT_EQ(Read("S", "k"), "dflt");
    EXPECT_TRUE(Write("S", "k", "v"));
    EXPECT_EQ(Read("S", "k"), "v");
    EXPECT_EQ(ReadFile(path).substr(0, junk.size()), junk);
    EXPECT_TRUE(messages.shown.empty());
}

}  // namespace
}  // namespace brisolant
