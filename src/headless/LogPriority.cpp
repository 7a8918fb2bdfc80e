#include "headless/LogPriority.h"

#include <charconv>
#include <string_view>

#include "device/CommPort.h"
#include "device/LineEventText.h"

namespace brisolant {

namespace {

// The failure whose status text this is: "Status: " and its number.
bool FailureNumberOf(std::string_view text, int& number) {
    constexpr std::string_view kStatus = "Status: ";
    if (!text.starts_with(kStatus)) {
        return false;
    }
    text.remove_prefix(kStatus.size());
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    return error == std::errc() && (rest == end || *rest == ' ');
}

// Events of the modem lines that tell of a station switched on or off or a cable moved are
// news; errors on the line are trouble.
bool IsLineTrouble(std::string_view text) {
    for (const int event :
         {kEventBreak, kEventCtsTimeout, kEventDsrTimeout, kEventFrame, kEventOverrun,
          kEventCdTimeout, kEventRxOverflow, kEventRxParity, kEventTxFull, kEventDcb}) {
        if (text == LineEventText(event)) {
            return true;
        }
    }
    return text == "Not getting Correct Data" || text == LineEventText(0);
}

}  // namespace

LogPriority FailurePriority(FailureCode code) {
    switch (code) {
        // A scan that cannot be read or recorded is lost; the station does not send it again.
        case FailureCode::ScanLineEndMissing:
        case FailureCode::ScanTooLong:
        case FailureCode::ScanCutOff:
        case FailureCode::ScanTailDropped:
        case FailureCode::HeldInputOverflow:
        case FailureCode::NotANumber:
        case FailureCode::LocaleCannotReadNumbers:
        case FailureCode::DivisionByZero:
        case FailureCode::NumberOverflow:
        // Scans wait for their file, or cannot be kept while they wait.
        case FailureCode::DataFileOpen:
        case FailureCode::DataFileWrite:
        case FailureCode::DataFileBadName:
        case FailureCode::DataFileNotRegular:
        case FailureCode::ScansWaiting:
        case FailureCode::JournalWrite:
        case FailureCode::JournalFull:
        case FailureCode::JournalDamaged:
        case FailureCode::DataFolderNotAnswering:
        case FailureCode::JournalRead:
        case FailureCode::JournalMark:
        // Records for the site's database cannot be kept until it takes them.
        case FailureCode::DatabaseOutboxWrite:
        case FailureCode::DatabaseOutboxRead:
        case FailureCode::DatabaseOutboxDamaged:
        // The program cannot run as it should.
        case FailureCode::AlreadyRunning:
        case FailureCode::RunLockUnavailable:
        case FailureCode::PromptWithoutWindow:
        case FailureCode::PreviousRunEnding:
        case FailureCode::ProfileReadFailed:
        case FailureCode::SettingsFileMissing:
        case FailureCode::Unexpected:
            return LogPriority::Error;
        // Records are written; what is wrong is around them.
        case FailureCode::DataFileRead:
        case FailureCode::JournalDoneMark:
        // The data file has every record; the site's database waits for them.
        case FailureCode::DatabaseWaiting:
        case FailureCode::CounterOverflow:
        case FailureCode::PortNotOpen:
        case FailureCode::PortOpenFailed:
        case FailureCode::PortBadNumber:
        case FailureCode::PortBadSettings:
        case FailureCode::PortWriteFailed:
        case FailureCode::PortVanished:
        case FailureCode::PortPermissionDenied:
        case FailureCode::PortDeviceMissing:
        case FailureCode::PortInUse:
        case FailureCode::PortLinkStale:
        case FailureCode::ProfileWriteFailed:
        case FailureCode::SettingsNotSaved:
        case FailureCode::SettingTypeMismatch:
        case FailureCode::SettingOverflow:
        case FailureCode::SettingTooLong:
        case FailureCode::SettingNotAFileName:
        case FailureCode::MetricsFileWrite:
            return LogPriority::Warning;
        // A site without the monitoring's exporter.
        case FailureCode::MetricsFolderMissing:
            return LogPriority::Info;
    }
    return LogPriority::Error;
}

LogPriority StatusPriority(const std::string& statusText) {
    if (int number = 0; FailureNumberOf(statusText, number)) {
        return FailurePriority(static_cast<FailureCode>(number));
    }
    if (statusText == "Previous scan discarded") {
        return LogPriority::Error;
    }
    return IsLineTrouble(statusText) ? LogPriority::Warning : LogPriority::Info;
}

}  // namespace brisolant
