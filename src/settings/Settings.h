#pragma once

#include <cstdint>
#include <string>

#include "common/MessagePresenter.h"
#include "settings/SettingsPlace.h"

namespace brisolant {

// The operator's configuration as last loaded from "Orvane.ini". One instance for the run,
// owned by the main window and read in place by the rest of the program.
struct Settings {
    std::string IniFilePath;
    bool CreateIniFolder = false;  // a save makes the settings file's folder when it is missing
    bool CreateFilePath = false;   // FilePath is the user's data folder, made at first need
    std::string CommPort = "1";
    std::string BaudRate = "9600";
    std::string DataBits = "8";
    std::string Parity = "None";
    std::string StopBits = "1";
    std::string FilePath = "/";
    std::string CloseTime = "00:00:00";
    std::string BranchID;
    std::string ScaleFactor;  // never loaded: empty for the whole run
    bool RemoveInCm = false;
    bool RemoveLbKg = false;
    bool ManualEntryData = false;
    std::string FileDelimiter = ",";
    bool ConvertCMtoMM = false;
    std::int16_t LogFileType = 0;
    // The site's database: a libpq connection string or URI, never with a password (empty: no
    // database), and the station's name in it (empty: the settings file's name).
    std::string DatabaseConnection;
    std::string DatabaseStation;
};

// The station's name in the site's database: DatabaseStation, else the settings file's name
// without its folder and ".ini" ("Orvane").
std::string DatabaseStationName(const Settings& settings);

// programDir + "/Orvane.ini".
std::string SettingsFilePath(const std::string& programDir);

// Sets IniFilePath and refills every loaded field from the settings file, key by key: a key the
// file lacks is taken from the site's defaults, else its default (for FilePath, the place's
// default folder). A Boolean or integer key whose text does not convert keeps its default; the
// operator is told which key held what, and the load goes on with the next key. A value longer
// than a profile read holds (255 characters) is cut to it, and the operator is told which key in
// which file.
void LoadSettings(Settings& settings, const SettingsPlace& place, MessagePresenter& messages);
// The same for a program in a folder of its own.
void LoadSettings(Settings& settings, const std::string& programDir, MessagePresenter& messages);

// What the settings dialog hands back on OK: the texts and states of its controls.
struct SettingsDialogValues {
    std::string CommPort;
    std::string BaudRate;
    std::string DataBits;
    std::string Parity;
    std::string StopBits;
    std::string FilePath;
    std::string CloseTime;
    std::string BranchID;
    std::string ScaleFactor;
    bool RemoveInCm = false;
    bool RemoveLbKg = false;
    bool ManualEntryData = false;
    std::string FileDelimiter;
    bool ConvertCMtoMM = false;
    int LogFileType = -1;  // index of the chosen "File Name Date" option; -1 when none is chosen
    std::string DatabaseConnection;
    std::string DatabaseStation;
};

// The values the dialog shows on opening (LogFileType -1 when outside 0 to 2).
SettingsDialogValues DialogValuesFrom(const Settings& settings);

// Writes the keys in their fixed order, one INIWriteSetting each; LogFileType is skipped when no
// option is chosen, and an empty [DATABASE] key when the file does not hold it already, so that a
// station without a database keeps the file it had. A refused write does not stop the later ones;
// when any was refused, one message tells the operator that the settings were not saved. With
// createFolder, a missing folder of the file is made first.
void SaveSettings(const SettingsDialogValues& values, const std::string& iniFilePath,
                  MessagePresenter& messages, bool createFolder = false);

}  // namespace brisolant
