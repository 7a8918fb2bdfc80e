#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "settings/Settings.h"

namespace brisolant {

// Where a load stores a key; the field's type (text, Boolean, 16-bit integer) decides how the
// key's text is converted.
using SettingField =
    std::variant<std::string Settings::*, bool Settings::*, std::int16_t Settings::*>;

// The dialog value a save writes for a key.
using DialogField = std::variant<std::string SettingsDialogValues::*, bool SettingsDialogValues::*,
                                 int SettingsDialogValues::*>;

struct SettingKey {
    std::string_view section;
    std::string_view readName;  // empty for a key that is written but never read
    std::string_view writeName;
    std::string_view defaultText;
    SettingField field;
    DialogField dialogField;

    bool IsRead() const { return !readName.empty(); }
};

// Every key of the settings file, in the order the dialog writes them; a load reads them in the
// same order, leaving out those it never reads.
std::span<const SettingKey> SettingKeys();

}  // namespace brisolant
