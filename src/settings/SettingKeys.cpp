#include "settings/SettingKeys.h"

#include <array>

namespace brisolant {

namespace {

using S = Settings;
using D = SettingsDialogValues;

constexpr std::string_view kCommunication = "COMMUNICATION";
constexpr std::string_view kSettings = "SETTINGS";
constexpr std::string_view kDatabase = "DATABASE";

// Two keys are read under another letter case than they are written; profile names match
// without regard to case, so both reach the same entry.
const std::array<SettingKey, 17> kSettingKeys{{
    {kCommunication, "CommPort", "CommPort", "1", &S::CommPort, &D::CommPort},
    {kCommunication, "BaudRate", "BaudRate", "9600", &S::BaudRate, &D::BaudRate},
    {kCommunication, "DataBits", "DataBits", "8", &S::DataBits, &D::DataBits},
    {kCommunication, "Parity", "Parity", "None", &S::Parity, &D::Parity},
    {kCommunication, "StopBits", "StopBits", "1", &S::StopBits, &D::StopBits},
    {kSettings, "FilePath", "FilePath", "/", &S::FilePath, &D::FilePath},
    {kSettings, "CloseTime", "CloseTime", "00:00:00", &S::CloseTime, &D::CloseTime},
    {kSettings, "BranchID", "BranchID", "", &S::BranchID, &D::BranchID},
    {kSettings, "", "ScaleFactor", "", &S::ScaleFactor, &D::ScaleFactor},
    {kSettings, "Remove_incm", "Remove_InCm", "0", &S::RemoveInCm, &D::RemoveInCm},
    {kSettings, "Remove_lbkg", "Remove_LbKg", "0", &S::RemoveLbKg, &D::RemoveLbKg},
    {kSettings, "ManualEntryData", "ManualEntryData", "0", &S::ManualEntryData,
     &D::ManualEntryData},
    {kSettings, "FileDelimiter", "FileDelimiter", ",", &S::FileDelimiter, &D::FileDelimiter},
    {kSettings, "ConvertCMtoMM", "ConvertCMtoMM", "0", &S::ConvertCMtoMM, &D::ConvertCMtoMM},
    {kSettings, "LogFileType", "LogFileType", "0", &S::LogFileType, &D::LogFileType},
    {kDatabase, "Connection", "Connection", "", &S::DatabaseConnection, &D::DatabaseConnection},
    {kDatabase, "Station", "Station", "", &S::DatabaseStation, &D::DatabaseStation},
}};

}  // namespace

std::span<const SettingKey> SettingKeys() {
    return kSettingKeys;
}

}  // namespace brisolant
