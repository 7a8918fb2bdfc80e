#include "settings/SettingsFileCheck.h"

#include "settings/ProfileDisk.h"

namespace brisolant {

std::optional<Failure> SettingsFileProblem(const std::string& path, ProfileFileLayer& files) {
    try {
        if (!ReadProfileFile(path, FailureCode::ProfileReadFailed, files)) {
            return Failure(FailureCode::SettingsFileMissing, path);
        }
    } catch (const Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

}  // namespace brisolant
