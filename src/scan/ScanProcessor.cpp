#include "scan/ScanProcessor.h"

#include <limits>

#include "common/Failure.h"
#include "scan/DataFile.h"
#include "scan/DataFileAppender.h"
#include "scan/Measurements.h"
#include "scan/NumberFormat.h"
#include "scan/ScanPipeline.h"

namespace brisolant {

namespace {

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
      writer_(files, clock, retryTimer) {}

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
    Record(std::move(line));
}

void ScanProcessor::OpenJournal(const std::string& path) {
    writer_.OpenJournal(path);
    (void)TakeNews();
}

bool ScanProcessor::SetDestination() {
    writer_.SetDestination({settings_.FilePath, settings_.CreateFilePath});
    return TakeNews();
}

bool ScanProcessor::WriteWaitingScans() {
    writer_.Retry();
    return TakeNews();
}

// The line goes behind any that wait, so that the file keeps the order of arrival. A scan that
// can never be written (its name holds "/") must not hold up the scans behind it.
void ScanProcessor::Record(std::string line) {
    if (!IsUsableFileName(state_.DataFileName)) {
        throw Failure(FailureCode::DataFileBadName, "\"" + OneLineText(state_.DataFileName) + "\"");
    }
    if (outstanding_ >= RecordStore::kLimit) {
        const std::optional<Failure> cause = StatusFailure(status_);
        throw Failure(FailureCode::JournalFull,
                      std::to_string(outstanding_) + " waiting" +
                          (cause ? "; " + cause->description() : std::string()));
    }
    writer_.Submit(state_.DataFileName, std::move(line));
    ++submitted_;
    ++outstanding_;
    (void)TakeNews(false);
    if (const std::optional<Failure> failure = StatusFailure(status_)) {
        throw *failure;
    }
}

// Counts what was written, shows what went wrong (why scans wait only when `showWaiting`).
// Returns true when scans waited and now none does.
bool ScanProcessor::TakeNews(bool showWaiting) {
    WriterNews news = writer_.TakeNews();
    for (const Failure& notice : news.notices) {
        view_.SetPanelText(1, StatusText(notice));
    }
    const bool wasTroubled = status_.Troubled();
    if (news.status) {
        status_ = std::move(*news.status);
    }
    // Scans handed over after the writer told this are on their way too.
    outstanding_ = news.queued + static_cast<std::size_t>(submitted_ - news.received);
    for (const WrittenRecord& record : news.written) {
        CountWrittenRecord(record);
    }
    if (const std::optional<Failure> failure = StatusFailure(status_)) {
        if (showWaiting) {
            view_.SetPanelText(1, StatusText(*failure));
        }
        return false;
    }
    return wasTroubled && news.notices.empty();
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

void ScanProcessor::CountWrittenRecord(const WrittenRecord& record) {
    if (state_.ScanCounter == std::numeric_limits<std::int32_t>::max()) {
        throw Failure(FailureCode::CounterOverflow);
    }
    ++state_.ScanCounter;
    view_.SetCounterText(GroupedText(state_.ScanCounter, locale_));
    view_.SetDataMenuEnabled(true);
    // The open list shows the file as it was when it opened and every record written since,
    // whichever file it went to: a waiting scan of an earlier file, or the next day's.
    if (view_.DataMenuChecked()) {
        view_.AppendListLine(record.line);
    }
    view_.SetPanelText(2, "File: " + record.path);
}

}  // namespace brisolant
