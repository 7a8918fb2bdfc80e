#include "scan/ScanProcessor.h"

#include <limits>

#include "common/Failure.h"
#include "common/FolderCreation.h"
#include "scan/DataFile.h"
#include "scan/Measurements.h"
#include "scan/NumberFormat.h"
#include "scan/ScanPipeline.h"

namespace brisolant {

namespace {

// Faults of the folder or the file that go away when the folder is back or the file is put
// right: the scan waits for them. A bad file name never recovers.
bool DataFileMayRecover(FailureCode code) {
    return code == FailureCode::DataFileOpen || code == FailureCode::DataFileWrite ||
           code == FailureCode::DataFileNotRegular;
}

constexpr const char* kManualEntryTitle = "Manual Entry";
constexpr const char* kManualEntryPrompt =
    "Enter any addtional information to this record\r50 Character maximum";

}  // namespace

ScanProcessor::ScanProcessor(MainWindowState& state, MainWindowView& view, InputPrompt& prompt,
                             const Settings& settings, const Clock& clock,
                             const LocaleFormat& locale, FileLayer& files, RetryTimer& retryTimer)
    : state_(state),
      view_(view),
      prompt_(prompt),
      settings_(settings),
      clock_(clock),
      locale_(locale),
      files_(files),
      pending_(files, retryTimer) {}

bool ScanProcessor::ProcessScan(std::string& text) {
    try {
        ProcessSteps(text);
        return true;
    } catch (const Failure& failure) {
        view_.SetPanelText(1, StatusText(failure));
    } catch (const std::exception& error) {
        view_.SetPanelText(1, StatusText(Failure(FailureCode::Unexpected, error.what())));
    }
    return false;
}

void ScanProcessor::ProcessSteps(const std::string& text) {
    const LocalDateTime now = clock_.Now();
    state_.DataFileName = BuildDataFileName(now, settings_, locale_, state_.DataFileName);

    ScanResult result = ScanToRecordLine(text, now, settings_, locale_);
    ShowRecord(result.shown);

    std::string& line = result.recordLine;
    if (settings_.ManualEntryData) {
        AddManualEntry(line, prompt_.Ask(kManualEntryTitle, kManualEntryPrompt), settings_);
    }
    if (settings_.CreateFilePath) {
        // The user's own data folder is made at first need; a folder the settings name is
        // the operator's to make. A failure here shows as the append's.
        CreateFolderPath(settings_.FilePath);
    }
    Record({settings_.FilePath, state_.DataFileName, std::move(line)});
}

void ScanProcessor::OpenJournal(const std::string& path) {
    try {
        pending_.OpenJournal(path);
    } catch (const Failure& failure) {
        view_.SetPanelText(1, StatusText(failure));
    }
    (void)WriteWaitingScans();
}

bool ScanProcessor::WriteWaitingScans() {
    if (pending_.Count() == 0) {
        return false;
    }
    try {
        pending_.WriteOut([this](const WaitingScan& scan) { CountWrittenRecord(scan); });
        return true;
    } catch (const Failure& failure) {
        view_.SetPanelText(1, StatusText(WaitingFailure(failure)));
    }
    return false;
}

// Waiting scans go first, so that the file keeps the order of arrival.
void ScanProcessor::Record(WaitingScan scan) {
    try {
        pending_.WriteOut([this](const WaitingScan& written) { CountWrittenRecord(written); });
        AppendRecordLine(scan.folder, scan.fileName, scan.line, files_);
    } catch (const Failure& failure) {
        // A name that can never be opened would hold up every scan behind it.
        if (DataFileMayRecover(failure.code())) {
            KeepWaiting(std::move(scan), failure);
        }
        throw;
    }
    CountWrittenRecord(scan);
}

void ScanProcessor::KeepWaiting(WaitingScan scan, const Failure& cause) {
    try {
        pending_.Keep(std::move(scan));
    } catch (const Failure& failure) {
        if (failure.code() != FailureCode::JournalFull) {
            throw;
        }
        throw Failure(FailureCode::JournalFull,
                      std::to_string(pending_.Count()) + " waiting; " + cause.description());
    }
    throw WaitingFailure(cause);
}

Failure ScanProcessor::WaitingFailure(const Failure& cause) const {
    if (!DataFileMayRecover(cause.code())) {
        return cause;
    }
    return Failure(FailureCode::ScansWaiting,
                   std::to_string(pending_.Count()) + " waiting; " + cause.description());
}

// The window shows the texts as parsed and converted, unit words included.
void ScanProcessor::ShowRecord(const ScanRecord& record) {
    view_.SetDataText(0, record.Barcode.Text());
    view_.SetDataText(2, record.RecordDate.Text());
    view_.SetDataText(3, record.RecordTime.Text());
    view_.SetDataText(4, record.DeviceNumber.Text());
    view_.SetDataText(5, record.GrossWeight.Text());
    view_.SetDataText(6, record.Length.Text());
    view_.SetDataText(7, record.Width.Text());
    view_.SetDataText(8, record.Height.Text());
    view_.SetDataText(9, record.DimFactor.Text());
    view_.SetDataText(10, record.DimWeight.Text());
    view_.SetDataText(11, DimVolume(record, locale_));
}

void ScanProcessor::CountWrittenRecord(const WaitingScan& scan) {
    if (state_.ScanCounter == std::numeric_limits<std::int32_t>::max()) {
        throw Failure(FailureCode::CounterOverflow);
    }
    ++state_.ScanCounter;
    view_.SetCounterText(GroupedText(state_.ScanCounter, locale_));
    view_.SetDataMenuEnabled(true);
    // The open list shows the file as it was when it opened and every record written since,
    // whichever file it went to: a waiting scan of an earlier file, or the next day's.
    const std::string path = scan.folder + scan.fileName;
    if (view_.DataMenuChecked()) {
        view_.AppendListLine(scan.line);
    }
    view_.SetPanelText(2, "File: " + path);
}

}  // namespace brisolant
