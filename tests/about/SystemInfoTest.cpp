#include "about/SystemInfo.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "about/Version.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

const std::string kPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string kFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

class FakeRegistry : public Registry {
  public:
    void Set(const std::string& key, const std::string& name, std::uint32_t type,
             std::vector<unsigned char> bytes) {
        values[{key, name}] = RegistryValue{type, std::move(bytes)};
    }
    void SetString(const std::string& key, const std::string& name, const std::string& text) {
        std::vector<unsigned char> bytes(text.begin(), text.end());
        bytes.push_back(0);
        Set(key, name, kRegistryString, bytes);
    }
    std::optional<RegistryValue> ReadValue(RegistryRoot, const std::string& key,
                                           const std::string& name) const override {
        const auto found = values.find({key, name});
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    }
    std::map<std::pair<std::string, std::string>, RegistryValue> values;
};

class FakeLauncher : public ProgramLauncher {
  public:
    bool FileExists(const std::string& path) const override { return existing.count(path) > 0; }
    bool Start(const std::string& path) override {
        started.push_back(path);
        return startable.count(path) > 0;
    }
    std::set<std::string> existing;
    std::set<std::string> startable;
    std::vector<std::string> started;
};

TEST(GetKeyValueTest, StringValueLosesItsTrailingZero) {
    FakeRegistry registry;
    registry.SetString("K", "V", "C:\\tools\\info.exe");
    std::string text = "old";
    EXPECT_TRUE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "V", text));
    EXPECT_EQ(text, "C:\\tools\\info.exe");
}

TEST(GetKeyValueTest, MissingOrOversizedValueEmptiesTextAndFails) {
    FakeRegistry registry;
    registry.Set("K", "Big", kRegistryString, std::vector<unsigned char>(1025, 'a'));
    registry.Set("K", "Full", kRegistryString, std::vector<unsigned char>(1024, 'a'));
    std::string text = "old";
    EXPECT_FALSE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "Missing", text));
    EXPECT_EQ(text, "");
    text = "old";
    EXPECT_FALSE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "Big", text));
    EXPECT_EQ(text, "");
    EXPECT_TRUE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "Full", text));
    EXPECT_EQ(text.size(), 1024u);
}

TEST(GetKeyValueTest, OtherTypesLeaveTextAndNumbersReadInDecimal) {
    FakeRegistry registry;
    registry.Set("K", "Expand", 2, {'x', 0});
    registry.Set("K", "Number", kRegistryNumber, {0x00, 0x01, 0x00, 0x00});
    std::string text = "kept";
    EXPECT_TRUE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "Expand", text));
    EXPECT_EQ(text, "kept");
    EXPECT_TRUE(GetKeyValue(registry, RegistryRoot::LocalMachine, "K", "Number", text));
    EXPECT_EQ(text, "256");
}

class StartSysInfoTest : public ::testing::Test {
  protected:
    void Run() { StartSysInfo(registry, launcher, messages); }
    void ExpectUnavailableMessage() {
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].title, "Brisolant");
        EXPECT_EQ(messages.shown[0].text, "System Information Is Unavailable At This Time");
    }
    FakeRegistry registry;
    FakeLauncher launcher;
    test::RecordingMessages messages;
};

TEST_F(StartSysInfoTest, NoRegistryShowsTheMessage) {
    StartSysInfo(EmptyRegistry{}, launcher, messages);
    EXPECT_TRUE(launcher.started.empty());
    ExpectUnavailableMessage();
}

TEST_F(StartSysInfoTest, FirstValueIsStartedWithoutCheckingTheFile) {
    registry.SetString(kPathKey, "PATH", "/opt/info");
    launcher.startable = {"/opt/info"};
    Run();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/opt/info"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartSysInfoTest, FirstValueNamingMissingProgramFailsWithoutSecondLookup) {
    registry.SetString(kPathKey, "PATH", "/opt/missing");
    registry.SetString(kFolderKey, "MSINFO", "/opt");
    launcher.existing = launcher.startable = {"/opt/MSINFO32.EXE"};
    Run();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/opt/missing"});
    ExpectUnavailableMessage();
}

TEST_F(StartSysInfoTest, SecondValueNamesTheFolderOfTheProgram) {
    registry.SetString(kFolderKey, "MSINFO", "/opt");
    launcher.existing = launcher.startable = {"/opt/MSINFO32.EXE"};
    Run();
    EXPECT_EQ(launcher.started, std::vector<std::string>{"/opt/MSINFO32.EXE"});
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(StartSysInfoTest, FolderWithoutTheProgramStartsNothing) {
    registry.SetString(kFolderKey, "MSINFO", "/opt");
    Run();
    EXPECT_TRUE(launcher.started.empty());
    ExpectUnavailableMessage();
}

// The path stays empty, so there is nothing to start.
TEST_F(StartSysInfoTest, FirstValueOfAnotherTypeShowsTheMessage) {
    registry.Set(kPathKey, "PATH", 2, {'/', 'x', 0});
    Run();
    EXPECT_TRUE(launcher.started.empty());
    ExpectUnavailableMessage();
}

TEST_F(StartSysInfoTest, EmptyFirstValueShowsTheMessage) {
    registry.Set(kPathKey, "PATH", kRegistryString, {});
    registry.SetString(kFolderKey, "MSINFO", "/opt");
    launcher.existing = launcher.startable = {"/opt/MSINFO32.EXE"};
    Run();
    EXPECT_TRUE(launcher.started.empty());
    ExpectUnavailableMessage();
}

TEST(VersionTest, VersionTextNamesAllThreeParts) {
    EXPECT_EQ(VersionText(), "Version 1.0.17");
}

}  // namespace
}  // namespace brisolant
