#include "settings/ProfileFile.h"

#include "common/Failure.h"
#include "settings/FailureMessage.h"
#include "settings/ProfileDisk.h"
#include "settings/ProfileText.h"

namespace brisolant {

bool INIWriteSetting(const std::string& section, const std::string& key, const std::string& value,
                     const std::string& filePath, MessagePresenter& messages,
                     ProfileFileLayer& files) {
    try {
        if (!CanStoreProfileValue(section, key, value)) {
            return false;
        }
        const std::string target = ProfileWriteTarget(filePath);
        const auto existing = ReadProfileFile(target, FailureCode::ProfileWriteFailed, files);
        if (existing && !IsProfileFileWritable(target)) {
            return false;
        }
        const std::string updated = WithProfileValue(existing.value_or(""), section, key, value);
        if (existing && updated == *existing) {
            return true;
        }
        return ReplaceProfileFile(target, updated, files);
    } catch (const Failure& failure) {
        ShowFailureMessage(messages, "INIWriteSetting", failure);
        return false;
    }
}

}  // namespace brisolant
