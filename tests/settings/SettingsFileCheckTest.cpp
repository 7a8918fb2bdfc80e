#include "settings/SettingsFileCheck.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>

#include "support/FakeFiles.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

namespace fs = std::filesystem;

std::string Said(const std::optional<Failure>& problem) {
    return problem ? StatusText(*problem) : "nothing";
}

// A start without a window refuses the settings file for each of these, naming the file and why.
TEST(SettingsFileCheckTest, AMissingOrUnreadableFileIsAProblemAReadableOneIsNot) {
    const test::TempDir dir;
    const std::string path = dir.file("dock1.ini");
    EXPECT_EQ(Said(SettingsFileProblem(path)),
              "Status: 304 The settings file is not there: " + path);

    fs::create_directory(path);
    EXPECT_EQ(Said(SettingsFileProblem(path)),
              "Status: 301 Cannot read the settings file: " + path + ": Is a directory");
    fs::remove(path);

    test::WriteFile(path, "[COMMUNICATION]\r\nCommPort=/dev/ttyUSB0\r\n");
    EXPECT_EQ(Said(SettingsFileProblem(path)), "nothing");
    test::FakeFileLayer rootOnly;
    rootOnly.failures["openread dock1.ini"] = EACCES;
    EXPECT_EQ(Said(SettingsFileProblem(path, rootOnly)),
              "Status: 301 Cannot read the settings file: " + path + ": Permission denied");
}

}  // namespace
}  // namespace brisolant
