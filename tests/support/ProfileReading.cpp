#include "support/ProfileReading.h"

#include "common/Failure.h"
#include "settings/FailureMessage.h"
#include "settings/ProfileDisk.h"
#include "settings/ProfileText.h"

namespace brisolant::test {

std::string INIGetSettingString(const std::string& section, const std::string& key,
                                const std::string& filePath, const std::string& defaultValue,
                                MessagePresenter& messages, ProfileFileLayer& files) {
    try {
        return ProfileValueOrDefault(
            ReadProfileFile(filePath, FailureCode::ProfileReadFailed, files), section, key,
            defaultValue);
    } catch (const Failure& failure) {
        ShowFailureMessage(messages, "INIGetSettingString", failure);
        return "";
    }
}

}  // namespace brisolant::test
