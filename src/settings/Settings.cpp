#include "settings/Settings.h"

#include <optional>
#include <type_traits>

#include "common/Failure.h"
#include "settings/FailureMessage.h"
#include "settings/ProfileDisk.h"
#include "settings/ProfileFile.h"
#include "settings/ProfileText.h"
#include "settings/SettingConversions.h"
#include "settings/SettingKeys.h"

namespace brisolant {

namespace {

constexpr const char* kLoadTitle = "Settings";

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

// The text the dialog's OK writes for a key; nothing when the key is not written.
std::optional<std::string> WrittenText(const SettingsDialogValues& values, const SettingKey& key) {
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

void LoadSettings(Settings& settings, const std::string& programDir, MessagePresenter& messages) {
    settings.IniFilePath = SettingsFilePath(programDir);
    const std::optional<std::string> content = ReadSettingsFile(settings.IniFilePath, messages);
    for (const SettingKey& key : SettingKeys()) {
        if (key.IsRead()) {
            StoreSetting(settings, key,
                         ProfileValueOrDefault(content, key.section, key.readName, key.defaultText),
                         messages);
        }
    }
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
    return values;
}

void SaveSettings(const SettingsDialogValues& values, const std::string& iniFilePath,
                  MessagePresenter& messages) {
    // A refused write neither stops the later ones nor is reported.
    for (const SettingKey& key : SettingKeys()) {
        if (const auto text = WrittenText(values, key)) {
            INIWriteSetting(std::string(key.section), std::string(key.writeName), *text,
                            iniFilePath, messages);
        }
    }
}

}  // namespace brisolant
