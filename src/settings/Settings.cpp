#include "settings/Settings.h"

#include <initializer_list>
#include <optional>
#include <string_view>
#include <type_traits>

#include "common/EscapedControls.h"
#include "common/Failure.h"
#include "common/FolderCreation.h"
#include "settings/DatabaseConnection.h"
#include "settings/FailureMessage.h"
#include "settings/ProfileDisk.h"
#include "settings/ProfileFile.h"
#include "settings/ProfileText.h"
#include "settings/SettingConversions.h"
#include "settings/SettingKeys.h"

namespace brisolant {

namespace {

constexpr const char* kLoadTitle = "Settings";
constexpr const char* kSaveTitle = "Settings";

// The file is read once for the whole load, so a file that cannot be read gives one message
// rather than one for each key, and every key then takes its default.
std::optional<std::string> ReadSettingsFile(const std::string& path, MessagePresenter& messages) {
    try {
        return ReadProfileFile(path, FailureCode::ProfileReadFailed);
    } catch (const Failure& failure) {
        ShowFailureMessage(messages, kLoadTitle, failure);
        return std::nullopt;
    }
}

// A key whose text does not convert takes its default, and the operator learns where to look.
template <typename Convert>
auto ConvertedOrDefault(const SettingKey& key, const std::string& text, Convert convert,
                        MessagePresenter& messages) {
    try {
        return convert(text);
    } catch (const Failure& failure) {
        const std::string detail = "[" + std::string(key.section) + "] " +
                                   std::string(key.writeName) + " = \"" + text +
                                   "\"; the default " + std::string(key.defaultText) + " is used.";
        ShowFailureMessage(messages, kLoadTitle, Failure(failure.code(), detail));
        return convert(key.defaultText);
    }
}

void StoreSetting(Settings& settings, const SettingKey& key, const std::string& text,
                  MessagePresenter& messages) {
    std::visit(
        [&](auto member) {
            using Field = std::remove_reference_t<decltype(settings.*member)>;
            if constexpr (std::is_same_v<Field, std::string>) {
                settings.*member = text;
            } else if constexpr (std::is_same_v<Field, bool>) {
                settings.*member = ConvertedOrDefault(key, text, SettingBoolean, messages);
            } else {
                settings.*member = ConvertedOrDefault(key, text, SettingInteger, messages);
            }
        },
        key.field);
}

// Where a load looks for a key's text, in order.
struct SettingsSource {
    const std::optional<std::string>& content;  // nothing when there is no file
    const std::string& path;
};

// A text the read cut no longer says what it said (a folder becomes another folder), so the
// operator is told, and which file to shorten it in.
void ReportCut(const SettingKey& key, const std::string& where, std::size_t length,
               MessagePresenter& messages) {
    const std::string detail = "[" + std::string(key.section) + "] " + std::string(key.writeName) +
                               " " + where + " holds " + std::to_string(length) +
                               " characters; only the first " + std::to_string(kProfileValueLimit) +
                               " are used.";
    ShowFailureMessage(messages, kLoadTitle, Failure(FailureCode::SettingTooLong, detail));
}

// The key's text as a profile read gives it: the first source's entry, else the default, cut to
// what a read holds.
std::string ReadKeyText(const SettingKey& key, std::initializer_list<SettingsSource> sources,
                        std::string_view defaultText, MessagePresenter& messages) {
    for (const SettingsSource& source : sources) {
        if (!source.content) {
            continue;
        }
        if (auto value = FindProfileValue(*source.content, key.section, key.readName)) {
            const std::size_t length = value->size();
            if (CutToProfileLimit(*value)) {
                ReportCut(key, "in " + source.path, length, messages);
            }
            return std::move(*value);
        }
    }
    std::string text(defaultText);
    if (CutToProfileLimit(text)) {
        ReportCut(key, "by default", defaultText.size(), messages);
    }
    return text;
}

// Values that would make every scan fail to be written are refused as the settings load, so
// that scans keep being recorded (or kept) under the default, and the operator is told once.
void RefuseUnusableValues(Settings& settings, MessagePresenter& messages) {
    if (settings.LogFileType < 0 || settings.LogFileType > 2) {
        const std::string detail = "[SETTINGS] LogFileType = \"" +
                                   std::to_string(settings.LogFileType) +
                                   "\"; it may be 0, 1 or 2; the default 0 is used.";
        ShowFailureMessage(messages, kLoadTitle, Failure(FailureCode::SettingOverflow, detail));
        settings.LogFileType = 0;
    }
    if (settings.BranchID.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        const std::string detail = "[SETTINGS] BranchID = \"" + EscapedControls(settings.BranchID) +
                                   "\"; a file name cannot hold \"/\" or a NUL; no branch "
                                   "identifier is used.";
        ShowFailureMessage(messages, kLoadTitle, Failure(FailureCode::SettingNotAFileName, detail));
        settings.BranchID.clear();
    }
    if (HoldsPassword(settings.DatabaseConnection)) {
        const std::string detail =
            "it reads passwords from ~/.pgpass or PGPASSFILE, and connects without it.";
        ShowFailureMessage(messages, kLoadTitle,
                           Failure(FailureCode::SettingPasswordIgnored, detail));
        settings.DatabaseConnection = WithoutPassword(settings.DatabaseConnection);
    }
}

bool IsFilePath(const SettingKey& key) {
    const auto* member = std::get_if<std::string Settings::*>(&key.field);
    return member && *member == &Settings::FilePath;
}

// The text the dialog's OK writes for a key; nothing when the key is not written.
std::optional<std::string> WrittenText(const SettingsDialogValues& values, const SettingKey& key,
                                       const std::optional<std::string>& file) {
    if (key.section == "DATABASE") {
        const std::string& value =
            values.*std::get<std::string SettingsDialogValues::*>(key.dialogField);
        if (value.empty() && (!file || !FindProfileValue(*file, key.section, key.readName))) {
            return std::nullopt;
        }
        return key.readName == "Connection" ? WithoutPassword(value) : value;
    }
    return std::visit(
        [&](auto member) -> std::optional<std::string> {
            const auto& value = values.*member;
            using Value = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, std::string>) {
                return value;
            } else if constexpr (std::is_same_v<Value, bool>) {
                return value ? "1" : "0";
            } else if (value < 0) {
                return std::nullopt;  // no "File Name Date" option chosen: the stored one stays
            } else {
                return std::to_string(value);
            }
        },
        key.dialogField);
}

}  // namespace

std::string SettingsFilePath(const std::string& programDir) {
    return programDir + "/Orvane.ini";
}

void LoadSettings(Settings& settings, const SettingsPlace& place, MessagePresenter& messages) {
    settings.IniFilePath = place.iniFilePath;
    const std::optional<std::string> content = ReadSettingsFile(settings.IniFilePath, messages);
    const std::optional<std::string> siteDefaults =
        place.siteDefaultsPath.empty() ? std::nullopt
                                       : ReadSettingsFile(place.siteDefaultsPath, messages);
    const SettingsSource own{content, settings.IniFilePath};
    const SettingsSource site{siteDefaults, place.siteDefaultsPath};
    for (const SettingKey& key : SettingKeys()) {
        if (key.IsRead()) {
            const std::string_view builtIn =
                IsFilePath(key) ? std::string_view(place.defaultFilePath) : key.defaultText;
            StoreSetting(settings, key, ReadKeyText(key, {own, site}, builtIn, messages), messages);
        }
    }
    RefuseUnusableValues(settings, messages);
    settings.CreateIniFolder = place.createSettingsFolder;
    settings.CreateFilePath =
        place.createDefaultFolder && settings.FilePath == place.defaultFilePath;
}

void LoadSettings(Settings& settings, const std::string& programDir, MessagePresenter& messages) {
    LoadSettings(settings, ProgramFolderPlace(programDir), messages);
}

SettingsDialogValues DialogValuesFrom(const Settings& settings) {
    SettingsDialogValues values;
    values.CommPort = settings.CommPort;
    values.BaudRate = settings.BaudRate;
    values.DataBits = settings.DataBits;
    values.Parity = settings.Parity;
    values.StopBits = settings.StopBits;
    values.FilePath = settings.FilePath;
    // The path box always shows its folder with the separator that file names follow.
    if (values.FilePath.empty() || values.FilePath.back() != '/') {
        values.FilePath += '/';
    }
    values.CloseTime = settings.CloseTime;
    values.BranchID = settings.BranchID;
    values.ScaleFactor = settings.ScaleFactor;
    values.RemoveInCm = settings.RemoveInCm;
    values.RemoveLbKg = settings.RemoveLbKg;
    values.ManualEntryData = settings.ManualEntryData;
    values.FileDelimiter = settings.FileDelimiter;
    values.ConvertCMtoMM = settings.ConvertCMtoMM;
    values.LogFileType =
        settings.LogFileType >= 0 && settings.LogFileType <= 2 ? settings.LogFileType : -1;
    values.DatabaseConnection = settings.DatabaseConnection;
    values.DatabaseStation = settings.DatabaseStation;
    return values;
}

std::string DatabaseStationName(const Settings& settings) {
    if (!settings.DatabaseStation.empty()) {
        return settings.DatabaseStation;
    }
    std::string name = settings.IniFilePath.substr(settings.IniFilePath.find_last_of('/') + 1);
    if (name.ends_with(".ini")) {
        name.resize(name.size() - 4);
    }
    return name;
}

void SaveSettings(const SettingsDialogValues& values, const std::string& iniFilePath,
                  MessagePresenter& messages, bool createFolder) {
    if (createFolder) {
        const std::size_t slash = iniFilePath.rfind('/');
        if (slash != std::string::npos && slash > 0) {
            CreateFolderPath(iniFilePath.substr(0, slash));  // a failure shows as a refused write
        }
    }
    std::optional<std::string> file;
    try {
        file = ReadProfileFile(iniFilePath, FailureCode::ProfileReadFailed);
    } catch (const Failure&) {
        // A file that cannot be read has no [DATABASE] keys to clear.
    }
    // A refused write does not stop the later ones; the operator learns of it once.
    bool allStored = true;
    for (const SettingKey& key : SettingKeys()) {
        if (const auto text = WrittenText(values, key, file)) {
            allStored &= INIWriteSetting(std::string(key.section), std::string(key.writeName),
                                         *text, iniFilePath, messages);
        }
    }
    if (!allStored) {
        ShowFailureMessage(messages, kSaveTitle,
                           Failure(FailureCode::SettingsNotSaved, iniFilePath));
    }
}

}  // namespace brisolant
