#include "about/SystemInfo.h"

#include <cstdint>

#include "about/Version.h"

namespace brisolant {

namespace {

constexpr const char* kSysInfoPathKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kSysInfoPathValue = "PATH";
constexpr const char* kSysInfoFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kSysInfoFolderValue = "MSINFO";
constexpr const char* kSysInfoProgram = "/MSINFO32.EXE";

// A 32-bit number is stored least significant byte first; the kept bytes may have lost a
// trailing zero byte, which is a zero high byte and changes nothing.
std::string NumberText(const std::vector<unsigned char>& bytes) {
    std::uint64_t number = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        number = (number << 8) | bytes[i];
    }
    return std::to_string(number);
}

// Runs the two lookups; returns the program to start, or "" when there is none.
std::string SysInfoProgramPath(const Registry& registry, const ProgramLauncher& launcher) {
    std::string path;
    if (GetKeyValue(registry, RegistryRoot::LocalMachine, kSysInfoPathKey, kSysInfoPathValue,
                    path)) {
        return path;
    }
    std::string folder;
    if (!GetKeyValue(registry, RegistryRoot::LocalMachine, kSysInfoFolderKey, kSysInfoFolderValue,
                     folder) ||
        folder.empty()) {
        return {};
    }
    path = folder + kSysInfoProgram;
    return launcher.FileExists(path) ? path : std::string{};
}

}  // namespace

bool GetKeyValue(const Registry& registry, RegistryRoot root, const std::string& keyName,
                 const std::string& valueName, std::string& text) {
    const auto value = registry.ReadValue(root, keyName, valueName);
    if (!value || value->bytes.size() > kRegistryValueLimit) {
        text.clear();
        return false;
    }
    std::vector<unsigned char> kept = value->bytes;
    if (!kept.empty() && kept.back() == 0) {
        kept.pop_back();
    }
    if (value->type == kRegistryString) {
        text.assign(kept.begin(), kept.end());
    } else if (value->type == kRegistryNumber && kept.size() <= 4) {
        text = NumberText(kept);
    }
    return true;
}

void StartSysInfo(const Registry& registry, ProgramLauncher& launcher, MessagePresenter& messages) {
    try {
        const std::string path = SysInfoProgramPath(registry, launcher);
        if (!path.empty() && launcher.Start(path)) {
            return;
        }
    } catch (...) {
        // Whatever goes wrong on the way ends in the same message.
    }
    messages.ShowMessage(kAppTitle, kSysInfoUnavailable);
}

}  // namespace brisolant
