#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace brisolant {

// One table of failures for the whole program. Every kind has its own number, which the
// operator sees in the status bar ("Status: 121 Cannot open the data file: ...").
enum class FailureCode : int {
    // Scan text
    ScanLineEndMissing = 101,
    ScanTooLong = 102,
    ScanCutOff = 103,
    ScanTailDropped = 104,
    HeldInputOverflow = 105,
    // Numbers and measurements
    NotANumber = 111,
    LocaleCannotReadNumbers = 112,
    DivisionByZero = 113,
    NumberOverflow = 114,
    // Data file
    DataFileOpen = 121,
    DataFileWrite = 122,
    DataFileBadName = 123,
    DataFileRead = 124,
    DataFileNotRegular = 125,
    // Scans waiting for the data file, and their journal
    ScansWaiting = 126,
    JournalWrite = 127,
    JournalFull = 128,
    JournalDamaged = 129,
    DataFolderNotAnswering = 130,
    JournalRead = 141,
    JournalMark = 142,
    JournalDoneMark = 143,
    // Records on their way to the site's database, and their outbox
    DatabaseWaiting = 151,
    DatabaseOutboxWrite = 152,
    DatabaseOutboxRead = 153,
    DatabaseOutboxDamaged = 154,
    // Scan counting and reception
    CounterOverflow = 131,
    // Serial port
    PortNotOpen = 201,
    PortOpenFailed = 202,
    PortBadNumber = 203,
    PortBadSettings = 204,
    PortWriteFailed = 205,
    PortVanished = 207,
    PortPermissionDenied = 208,
    PortDeviceMissing = 209,
    PortInUse = 210,
    PortLinkStale = 211,
    // Settings file
    ProfileReadFailed = 301,
    ProfileWriteFailed = 302,
    SettingsNotSaved = 303,
    SettingsFileMissing = 304,
    SettingTypeMismatch = 311,
    SettingOverflow = 312,
    SettingTooLong = 313,
    SettingNotAFileName = 314,
    // The program's run
    AlreadyRunning = 401,
    RunLockUnavailable = 402,
    PromptWithoutWindow = 403,
    PreviousRunEnding = 404,
    // The site's monitoring
    MetricsFileWrite = 501,
    MetricsFolderMissing = 502,
    // Anything the program did not foresee (out of memory, for example)
    Unexpected = 901,
};

// The plain description of a kind of failure, without details.
std::string_view FailureDescription(FailureCode code);

// A failure raised by a step; the handler that runs the step catches and reports it.
class Failure : public std::runtime_error {
  public:
    // The description is the table's text, followed by ": " and the detail when one is given.
    explicit Failure(FailureCode code, std::string_view detail = {});

    FailureCode code() const { return code_; }
    int number() const { return static_cast<int>(code_); }
    const std::string& description() const { return description_; }
    // What was given beside the code: the description without the table's text.
    const std::string& detail() const { return detail_; }

  private:
    FailureCode code_;
    std::string description_;
    std::string detail_;
};

// "Status: " + number + " " + description, the form every handler shows in status panel 1.
std::string StatusText(const Failure& failure);

}  // namespace brisolant
