#include "common/Failure.h"

namespace brisolant {

namespace {

std::string Describe(FailureCode code, std::string_view detail) {
    std::string text(FailureDescription(code));
    if (!detail.empty()) {
        text += ": ";
        text += detail;
    }
    return text;
}

}  // namespace

std::string_view FailureDescription(FailureCode code) {
    switch (code) {
        case FailureCode::ScanLineEndMissing:
            return "The scan has no line end after a value";
        case FailureCode::ScanTooLong:
            return "The scan is too long to read";
        case FailureCode::ScanCutOff:
            return "A scan was cut off and dropped";
        case FailureCode::ScanTailDropped:
            return "The end of a lost scan was dropped";
        case FailureCode::HeldInputOverflow:
            return "Data piled up; the oldest was dropped";
        case FailureCode::NotANumber:
            return "A measurement is not a number";
        case FailureCode::LocaleCannotReadNumbers:
            return "The locale's number format cannot read the station's decimal numbers";
        case FailureCode::DivisionByZero:
            return "Division by zero";
        case FailureCode::NumberOverflow:
            return "A number is out of range";
        case FailureCode::DataFileOpen:
            return "Cannot open the data file";
        case FailureCode::DataFileWrite:
            return "Cannot write the data file";
        case FailureCode::DataFileBadName:
            return "The data file name is not valid";
        case FailureCode::DataFileRead:
            return "Cannot read the data file";
        case FailureCode::DataFileNotRegular:
            return "The data file is not a regular file";
        case FailureCode::ScansWaiting:
            return "Scans are waiting to be written";
        case FailureCode::JournalWrite:
            return "Cannot keep the waiting scans in the journal; they are lost if the program "
                   "ends";
        case FailureCode::JournalFull:
            return "Too many scans are waiting: new scans are being lost";
        case FailureCode::JournalDamaged:
            return "The journal of waiting scans was damaged";
        case FailureCode::DataFolderNotAnswering:
            return "The data folder does not answer";
        case FailureCode::JournalRead:
            return "Cannot read the journal of waiting scans";
        case FailureCode::JournalMark:
            return "Cannot record in the journal where the waiting scans go, so they are not "
                   "written yet";
        case FailureCode::JournalDoneMark:
            return "Written scans could not be marked done in the journal; the next start finds "
                   "them in their data files and does not write them again";
        case FailureCode::DatabaseWaiting:
            return "Records waiting for the database";
        case FailureCode::DatabaseOutboxWrite:
            return "The database outbox cannot keep records; they are delivered while the "
                   "program runs, and lost to the database if it ends first";
        case FailureCode::DatabaseOutboxRead:
            return "The database outbox cannot be read; records are kept in memory only";
        case FailureCode::DatabaseOutboxDamaged:
            return "The database outbox was damaged";
        case FailureCode::CounterOverflow:
            return "The scan counter is full";
        case FailureCode::PortNotOpen:
            return "The serial port is not open";
        case FailureCode::PortOpenFailed:
            return "Cannot open the serial port";
        case FailureCode::PortBadNumber:
            return "The port setting names no serial port";
        case FailureCode::PortBadSettings:
            return "The serial port refuses the line settings";
        case FailureCode::PortWriteFailed:
            return "Cannot send on the serial port";
        case FailureCode::PortVanished:
            return "The serial device has gone away (unplugged, switched off or its line "
                   "closed)";
        case FailureCode::PortPermissionDenied:
            return "No permission to open the serial port";
        case FailureCode::PortDeviceMissing:
            return "The serial device is not there (unplugged or switched off)";
        case FailureCode::PortInUse:
            return "The serial port is in use by another program";
        case FailureCode::PortLinkStale:
            return "The port's link leads to a terminal newer than the link: the program that "
                   "made the link has ended; start it again";
        case FailureCode::ProfileReadFailed:
            return "Cannot read the settings file";
        case FailureCode::ProfileWriteFailed:
            return "Cannot write the settings file";
        case FailureCode::SettingsNotSaved:
            return "The settings were not saved: neither the file nor its folder can be written";
        case FailureCode::SettingsFileMissing:
            return "The settings file is not there";
        case FailureCode::SettingTypeMismatch:
            return "A setting has a value of the wrong kind";
        case FailureCode::SettingOverflow:
            return "A setting is out of range";
        case FailureCode::SettingTooLong:
            return "A setting is too long to be read whole";
        case FailureCode::SettingNotAFileName:
            return "A setting cannot be part of a data file's name";
        case FailureCode::AlreadyRunning:
            return "The program already runs on this settings file; this copy ends";
        case FailureCode::RunLockUnavailable:
            return "Cannot lock the journal of waiting scans, so a second copy of the program on "
                   "this settings file would not be stopped";
        case FailureCode::PromptWithoutWindow:
            return "ManualEntryData is set, but without a window nobody answers its prompt, which "
                   "would hold every scan; set ManualEntryData=0 to record this station without a "
                   "window";
        case FailureCode::PreviousRunEnding:
            return "The previous run on this settings file is still ending (a data folder that "
                   "does not answer holds it up); this copy ends, to be started again once that "
                   "run has ended";
        case FailureCode::MetricsFileWrite:
            return "Cannot write the metrics file for the site's monitoring; the scans are "
                   "recorded all the same";
        case FailureCode::MetricsFolderMissing:
            return "The metrics file is not written: its folder is not there (node_exporter's "
                   "textfile folder, made when prometheus-node-exporter is installed)";
        case FailureCode::Unexpected:
            return "Unexpected failure";
    }
    return "Unknown failure";
}

Failure::Failure(FailureCode code, std::string_view detail)
    : std::runtime_error(Describe(code, detail)),
      code_(code),
      description_(what()),
      detail_(detail) {}

std::string StatusText(const Failure& failure) {
    return "Status: " + std::to_string(failure.number()) + " " + failure.description();
}

}  // namespace brisolant
