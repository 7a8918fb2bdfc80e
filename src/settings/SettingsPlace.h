#pragma once

#include <string>

namespace brisolant {

// Where the program keeps its settings and, when the settings name no folder, its records.
struct SettingsPlace {
    std::string iniFilePath;       // the settings file, read and written
    std::string siteDefaultsPath;  // keys the settings file lacks are read here; empty for none
    std::string defaultFilePath = "/";  // FilePath when no file sets one
    bool createSettingsFolder = false;  // a save makes the settings file's folder when missing
    bool createDefaultFolder = false;   // the default data folder is made at first need
    std::string stationName;            // the named settings file's base name; empty without one
};

// What the choice depends on, gathered from the disk and the environment.
struct PlaceFacts {
    std::string programDir;
    std::string settingsOption;  // the file named on the command line; empty when none
    bool programDirWritable = false;
    bool programDirHoldsSettings = false;
    std::string configHome;     // $XDG_CONFIG_HOME as set; empty or relative means unset
    std::string dataHome;       // $XDG_DATA_HOME as set
    std::string home;           // the user's home folder
    std::string siteDefaults;   // the first Orvane/Orvane.ini of the system's configuration folders
    std::string dataDirOption;  // the data folder named on the command line; empty when none
};

// The name a settings file gives its station: the file's name without a final ".ini"
// ("/etc/brisolant/dock1.ini" and "dock1" both give "dock1"). Empty for a path that names no
// file: "", one that ends in "/", ".", "..".
std::string StationNameOf(const std::string& settingsFile);

// The station's name for the site's monitoring: the named settings file's, as the window's caption
// shows it, else the usual settings file's ("Orvane").
std::string StationOf(const SettingsPlace& place);

// The place of a program in a folder of its own: "Orvane.ini" beside it, records in "/".
SettingsPlace ProgramFolderPlace(const std::string& programDir);

// A program in a folder of its own (writable, or already holding "Orvane.ini") keeps the file
// beside it and writes its records to "/" by default. An installed one keeps the file in the
// user's configuration folder, takes a site's defaults, and writes its records to the user's data
// folder. A file named on the command line replaces the settings file, and its records go to a
// data folder of their own, named after the file, in the user's data folder: two stations on one
// PC never share a default data file. A data folder named on the command line (a service's own,
// under /srv/brisolant) takes the place of every default data folder.
SettingsPlace ChooseSettingsPlace(const PlaceFacts& facts);

// The facts for this run: the program folder as probed, the XDG variables of the environment
// (XDG_CONFIG_DIRS searched for the site's file, /etc/xdg when unset), the home folder. Creates
// nothing.
PlaceFacts GatherPlaceFacts(const std::string& programDir, const std::string& settingsOption,
                            const std::string& dataDirOption = {});

}  // namespace brisolant
