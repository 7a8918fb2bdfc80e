// The example of a station's settings that the package installs for the service.

#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "support/TestSupport.h"

namespace brisolant {
namespace {

// Every key the example sets reads as its line says, every value converts, and no comment is
// taken for a key: the administrator who copies it gets what it describes.
TEST(ExampleSettingsTest, ReadsAsItsLinesSayWithoutAMessage) {
    SettingsPlace place;
    place.iniFilePath = BRISOLANT_EXAMPLE_SETTINGS;
    place.defaultFilePath = "/not-set/";
    Settings s;
    test::RecordingMessages messages;
    LoadSettings(s, place, messages);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(s.CommPort, "/dev/serial/by-id/REPLACE-WITH-THE-ADAPTER");
    EXPECT_EQ(s.BaudRate, "9600");
    EXPECT_EQ(s.Parity, "None");
    EXPECT_EQ(s.DataBits, "8");
    EXPECT_EQ(s.StopBits, "1");
    EXPECT_EQ(s.FilePath, "/not-set/") << "the service's own folder, unless the site names one";
    EXPECT_EQ(s.CloseTime, "00:00:00");
    EXPECT_EQ(s.LogFileType, 1) << "dated files, which never repeat";
    EXPECT_EQ(s.BranchID, "");
    EXPECT_EQ(s.FileDelimiter, ",");
    EXPECT_FALSE(s.RemoveInCm);
    EXPECT_FALSE(s.RemoveLbKg);
    EXPECT_FALSE(s.ConvertCMtoMM);
    EXPECT_FALSE(s.ManualEntryData);  // left out: a service has no one to ask
}

}  // namespace
}  // namespace brisolant
