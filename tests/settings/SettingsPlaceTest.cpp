#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "settings/Settings.h"
#include "settings/SettingsPlace.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;
using test::RecordingMessages;
using test::TempDir;
using test::WriteFile;

auto Fields(const SettingsPlace& p) {
    return std::tie(p.iniFilePath, p.siteDefaultsPath, p.defaultFilePath, p.createSettingsFolder,
                    p.createDefaultFolder, p.stationName);
}

struct PlaceCase {
    const char* name;
    PlaceFacts facts;
    SettingsPlace expected;
};

PlaceFacts Facts(bool writable, bool holdsSettings, std::string option = "",
                 std::string configHome = "", std::string dataHome = "", std::string dataDir = "") {
    return {"/opt/b",
            std::move(option),
            writable,
            holdsSettings,
            std::move(configHome),
            std::move(dataHome),
            "/home/op",
            "/etc/xdg/Orvane/Orvane.ini",
            std::move(dataDir)};
}

TEST(SettingsPlaceTest, FollowsTheProgramFolderOrTheUsersFolders) {
    const std::string userIni = "/home/op/.config/Orvane/Orvane.ini";
    const std::string site = "/etc/xdg/Orvane/Orvane.ini";
    const std::string userData = "/home/op/.local/share/Orvane/";
    const PlaceCase cases[] = {
        {"writable folder of its own",
         Facts(true, false),
         {"/opt/b/Orvane.ini", "", "/", false, false, ""}},
        {"protected folder already holding the file",
         Facts(false, true),
         {"/opt/b/Orvane.ini", "", "/", false, false, ""}},
        {"installed", Facts(false, false), {userIni, site, userData, true, true, ""}},
        {"installed with XDG folders set",
         Facts(false, false, "", "/cfg", "/dat"),
         {"/cfg/Orvane/Orvane.ini", site, "/dat/Orvane/", true, true, ""}},
        {"relative XDG folders count as unset",
         Facts(false, false, "", "cfg", "dat"),
         {userIni, site, userData, true, true, ""}},
        // A file named outright is a station of its own, with records of its own.
        {"file named on the command line, folder of its own",
         Facts(true, false, "/srv/one.ini"),
         {"/srv/one.ini", "", userData + "one/", false, true, "one"}},
        {"file named on the command line, installed",
         Facts(false, false, "/srv/one.ini"),
         {"/srv/one.ini", site, userData + "one/", false, true, "one"}},
        {"file named on the command line, XDG data folder set",
         Facts(false, false, "/srv/two", "", "/dat"),
         {"/srv/two", site, "/dat/Orvane/two/", false, true, "two"}},
        {"a folder named on the command line gives no station folder",
         Facts(true, false, "/srv/.."),
         {"/srv/..", "", "/", false, false, ""}},
        // A service's station records in a folder of its own, made at the first scan, where the
        // account has no home folder.
        {"data folder named on the command line",
         Facts(false, false, "/etc/brisolant/dock1.ini", "", "", "/srv/brisolant/dock1"),
         {"/etc/brisolant/dock1.ini", site, "/srv/brisolant/dock1/", false, true, "dock1"}},
        {"data folder named on the command line, ending in /",
         Facts(true, false, "", "", "", "/srv/records/"),
         {"/opt/b/Orvane.ini", "", "/srv/records/", false, true, ""}},
    };
    for (const PlaceCase& c : cases) {
        EXPECT_EQ(Fields(ChooseSettingsPlace(c.facts)), Fields(c.expected)) << c.name;
    }
}

TEST(SettingsPlaceTest, AStationIsNamedAfterItsSettingsFile) {
    const std::pair<const char*, const char*> cases[] = {
        {"/etc/brisolant/dock1.ini", "dock1"},
        {"dock1.ini", "dock1"},
        {"/home/op/dock1", "dock1"},
        {"/srv/dock.1.ini", "dock.1"},
        {"/srv/dock1.conf", "dock1.conf"},
        {"/srv/DOCK1.INI", "DOCK1.INI"},  // the journal keeps this whole name too
        // What is left of the name must still be a folder of its own.
        {"/srv/.ini", ".ini"},
        {"/srv/..ini", "..ini"},
        {"/srv/...ini", "...ini"},
        // Paths that name no file.
        {"", ""},
        {"/srv/", ""},
        {"/srv/.", ""},
        {"..", ""},
    };
    for (const auto& [path, name] : cases) {
        EXPECT_EQ(StationNameOf(path), name) << path;
    }
}

class InstalledSettingsTest : public ::testing::Test {
  protected:
    Settings Load() {
        Settings settings;
        LoadSettings(settings, place, messages);
        return settings;
    }

    TempDir dir;
    SettingsPlace place{dir.file("user/Orvane.ini"),
                        dir.file("site/Orvane.ini"),
                        dir.file("data/Orvane/"),
                        true,
                        true,
                        ""};
    RecordingMessages messages;
};

TEST_F(InstalledSettingsTest, ReadingCreatesNothingAndRecordsGoToTheUsersDataFolder) {
    const Settings s = Load();
    EXPECT_EQ(s.IniFilePath, place.iniFilePath);
    EXPECT_EQ(s.FilePath, place.defaultFilePath);
    EXPECT_TRUE(s.CreateFilePath);
    EXPECT_TRUE(s.CreateIniFolder);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(InstalledSettingsTest, TheSitesFileFillsOnlyTheKeysTheUsersFileLacks) {
    fs::create_directories(dir.file("site"));
    fs::create_directories(dir.file("user"));
    WriteFile(place.siteDefaultsPath,
              "[COMMUNICATION]\r\nCommPort=/dev/serial/by-id/usb-site\r\nBaudRate=19200\r\n"
              "[SETTINGS]\r\nFilePath=/srv/records/\r\nBranchID=SITE\r\n");
    WriteFile(place.iniFilePath,
              "[COMMUNICATION]\r\nBaudRate=38400\r\n[SETTINGS]\r\nBranchID=\r\n");
    const Settings s = Load();
    EXPECT_EQ(s.CommPort, "/dev/serial/by-id/usb-site");
    EXPECT_EQ(s.BaudRate, "38400");
    EXPECT_EQ(s.BranchID, "");  // present and empty in the user's file: not the site's
    EXPECT_EQ(s.DataBits, "8");
    // A folder that is set is used as it is, and never made.
    EXPECT_EQ(s.FilePath, "/srv/records/");
    EXPECT_FALSE(s.CreateFilePath);
}

// The message names the file that holds the long value, so the operator knows which to edit.
TEST_F(InstalledSettingsTest, ALongValueInTheSitesFileIsReportedWithThatFile) {
    fs::create_directories(dir.file("site"));
    WriteFile(place.siteDefaultsPath, "[SETTINGS]\r\nFilePath=" + std::string(256, 'f') + "\r\n");
    EXPECT_EQ(Load().FilePath, std::string(255, 'f'));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].text.find("FilePath in " + place.siteDefaultsPath + " holds 256"),
              std::string::npos)
        << messages.shown[0].text;
}

TEST(SettingsPlaceFactsTest, ComeFromTheEnvironmentAndTheDisk) {
    TempDir dir;
    fs::create_directories(dir.file("xdg2/Orvane"));
    WriteFile(dir.file("xdg2/Orvane/Orvane.ini"), "");
    const std::string configDirs = "relative:" + dir.file("xdg1") + ":" + dir.file("xdg2");
    ::setenv("XDG_CONFIG_DIRS", configDirs.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg", 1);
    const PlaceFacts facts = GatherPlaceFacts(dir.path().string(), "");
    ::unsetenv("XDG_CONFIG_DIRS");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(facts.siteDefaults, dir.file("xdg2/Orvane/Orvane.ini"));
    EXPECT_EQ(facts.configHome, "/cfg");
    EXPECT_TRUE(facts.programDirWritable);
    EXPECT_FALSE(facts.programDirHoldsSettings);
    // The system's program folders belong to the system, even for the superuser.
    EXPECT_FALSE(GatherPlaceFacts("/usr/bin", "").programDirWritable);
    EXPECT_EQ(GatherPlaceFacts("/usr/bin", "rel.ini").settingsOption,
              (fs::current_path() / "rel.ini").string());
    EXPECT_EQ(GatherPlaceFacts("/usr/bin", "", "records").dataDirOption,
              (fs::current_path() / "records").string());
}

}  // namespace
}  // namespace brisolant
