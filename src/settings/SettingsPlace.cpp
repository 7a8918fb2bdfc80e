#include "settings/SettingsPlace.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "settings/Settings.h"

namespace brisolant {

namespace {

constexpr const char* kOwnFolder = "/Orvane";

// The XDG rule: a variable that is unset, empty or not an absolute path counts as unset.
std::string BaseFolder(const std::string& variable, const std::string& home, const char* fallback) {
    if (!variable.empty() && variable.front() == '/') {
        return variable;
    }
    return home + fallback;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* account = ::getpwuid(::getuid());
    return account && account->pw_dir ? account->pw_dir : "";
}

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The system's own program folders are no folder of the program's, even for the superuser who
// may write them.
bool IsSystemFolder(const std::string& folder) {
    return folder == "/bin" || folder == "/sbin" || folder.starts_with("/usr/");
}

std::string FirstSiteDefaults(const std::string& configDirs) {
    std::string_view rest = configDirs.empty() ? std::string_view("/etc/xdg") : configDirs;
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string folder(rest.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + kOwnFolder + "/Orvane.ini";
            if (IsRegularFile(candidate)) {
                return candidate;
            }
        }
    }
    return "";
}

// The user's data folder for the program, "/" ended.
std::string UserDataFolder(const PlaceFacts& facts) {
    return BaseFolder(facts.dataHome, facts.home, "/.local/share") + kOwnFolder + "/";
}

std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

}  // namespace

std::string StationNameOf(const std::string& settingsFile) {
    constexpr std::string_view kSettingsEnding = ".ini";
    const std::string name = settingsFile.substr(settingsFile.rfind('/') + 1);
    if (name == "." || name == "..") {
        return "";
    }
    // The journal beside the file drops the same ending, so a file's station and journal agree.
    // What is left must still name a folder of its own ("..ini" keeps its whole name).
    if (name.ends_with(kSettingsEnding)) {
        const std::string stem = name.substr(0, name.size() - kSettingsEnding.size());
        if (!stem.empty() && stem != "." && stem != "..") {
            return stem;
        }
    }
    return name;
}

std::string StationOf(const SettingsPlace& place) {
    return place.stationName.empty() ? StationNameOf(place.iniFilePath) : place.stationName;
}

SettingsPlace ProgramFolderPlace(const std::string& programDir) {
    SettingsPlace place;
    place.iniFilePath = SettingsFilePath(programDir);
    place.defaultFilePath = "/";
    return place;
}

SettingsPlace ChooseSettingsPlace(const PlaceFacts& facts) {
    SettingsPlace place;
    if (facts.programDirWritable || facts.programDirHoldsSettings) {
        place = ProgramFolderPlace(facts.programDir);
    } else {
        place.iniFilePath =
            BaseFolder(facts.configHome, facts.home, "/.config") + kOwnFolder + "/Orvane.ini";
        place.siteDefaultsPath = facts.siteDefaults;
        place.defaultFilePath = UserDataFolder(facts);
        place.createSettingsFolder = true;
        place.createDefaultFolder = true;
    }
    if (!facts.settingsOption.empty()) {
        place.iniFilePath = facts.settingsOption;
        place.createSettingsFolder = false;
        place.stationName = StationNameOf(facts.settingsOption);
        if (!place.stationName.empty()) {
            place.defaultFilePath = UserDataFolder(facts) + place.stationName + "/";
            place.createDefaultFolder = true;
        }
    }
    if (!facts.dataDirOption.empty()) {
        place.defaultFilePath = facts.dataDirOption;
        if (!place.defaultFilePath.ends_with('/')) {
            place.defaultFilePath += '/';
        }
        place.createDefaultFolder = true;
    }
    return place;
}

PlaceFacts GatherPlaceFacts(const std::string& programDir, const std::string& settingsOption,
                            const std::string& dataDirOption) {
    PlaceFacts facts;
    facts.programDir = programDir;
    facts.settingsOption = settingsOption.empty() ? "" : Absolute(settingsOption);
    facts.dataDirOption = dataDirOption.empty() ? "" : Absolute(dataDirOption);
    facts.programDirWritable =
        !IsSystemFolder(programDir) && ::access(programDir.c_str(), W_OK) == 0;
    facts.programDirHoldsSettings = IsRegularFile(SettingsFilePath(programDir));
    facts.configHome = Environment("XDG_CONFIG_HOME");
    facts.dataHome = Environment("XDG_DATA_HOME");
    facts.home = HomeFolder();
    facts.siteDefaults = FirstSiteDefaults(Environment("XDG_CONFIG_DIRS"));
    return facts;
}

}  // namespace brisolant
