#include "recorder/Recorder.h"

#include "device/PortSetup.h"
#include "scan/NumberFormat.h"
#include "store/RecordJournal.h"
#include "store/RecordStore.h"

namespace brisolant {

Recorder::Recorder(RecorderServices services)
    : services_(std::move(services)),
      status_(services_.line),
      processor_(services_.scans, services_.prompt, settings_, services_.clock, services_.locale),
      handler_(status_, services_.comm, services_.pump, *this),
      keeper_(services_.comm, status_, services_.portWatch, handler_) {}

void Recorder::Start() {
    LoadSettingsAndOpenPort();
    services_.scans.SetDataMenuEnabled(false);
    status_.SetLightColour(kLightGreen);
    counter_.Reset();
    services_.scans.SetCounterText("0");
    services_.writer.Start(services_.journalPath.empty() ? JournalPathFor(settings_.IniFilePath)
                                                         : services_.journalPath);
}

void Recorder::LoadSettingsAndOpenPort() {
    LoadSettings(settings_, services_.place, services_.messages);
    // Waiting scans go to the folder named now: a corrected folder releases them.
    services_.writer.SetDestination({settings_.FilePath, settings_.CreateFilePath});
    services_.writer.SetDatabase(
        {settings_.DatabaseConnection,
         settings_.DatabaseConnection.empty() ? std::string() : DatabaseStationName(settings_)});
    keeper_.Open(settings_);
    services_.scans.SetFileText("File: " + settings_.FilePath + processor_.DataFileName());
    CommPort& comm = services_.comm;
    status_.ShowConnection(comm.PortOpen() ? comm.Settings() : LineSettingsString(settings_));
}

StopOutcome Recorder::Stop(std::chrono::milliseconds patience) {
    StopOutcome outcome = services_.writer.Stop(patience);
    TakeWriterNews();
    if (outcome.writerHung) {
        outcome.unwritten = outstanding_;
    }
    return outcome;
}

std::optional<Failure> Recorder::ProcessScan(std::string& text) {
    try {
        Record(processor_.Process(text));
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::exception& error) {
        return Failure(FailureCode::Unexpected, error.what());
    }
    return std::nullopt;
}

// The line goes behind any that wait, so that the file keeps the order of arrival. A day at
// full rate may wait; beyond that new scans are refused, the kept ones stay.
void Recorder::Record(FinishedRecord record) {
    if (outstanding_ >= RecordStore::kLimit) {
        std::string detail = std::to_string(outstanding_) + " waiting";
        if (writer_status_.cause) {
            detail += "; " + writer_status_.cause->description();
        }
        throw Failure(FailureCode::JournalFull, detail);
    }
    ++submitted_;
    ++outstanding_;
    std::optional<CentralRecord> central;
    if (!settings_.DatabaseConnection.empty()) {
        central = std::move(record.central);
    }
    services_.writer.Submit(std::move(record.fileName), std::move(record.line), std::move(central));
}

void Recorder::TakeWriterNews() {
    WriterNews news = services_.writer.TakeNews();
    if (news.Empty() && news.received == 0) {
        return;
    }
    // Lines handed over after the writer told this are on their way too.
    outstanding_ = news.queued + static_cast<std::size_t>(submitted_ - news.received);
    if (!news.written.empty()) {
        CountWritten(news.written);
    }
    for (const Failure& notice : news.notices) {
        status_.ShowFailure(notice);
    }
    if (news.status || news.database) {
        if (news.status) {
            writer_status_ = std::move(*news.status);
        }
        if (news.database) {
            database_status_ = std::move(*news.database);
        }
        // The data file's trouble first: the database is a second destination.
        std::optional<Failure> trouble = StatusFailure(writer_status_);
        status_.SetWriterTrouble(trouble ? trouble : DatabaseFailure(database_status_));
    }
}

// A record counts once its line is on the disk. The counter, the Data menu and panel 2 show
// the last of the records written together; the list shows each.
void Recorder::CountWritten(const std::vector<WrittenRecord>& records) {
    ScanDisplay& scans = services_.scans;
    const WrittenRecord* last = nullptr;
    for (const WrittenRecord& record : records) {
        ++recorded_;  // on the disk, whether or not the counter can take it
        try {
            if (before_reset_ > 0) {
                --before_reset_;
            } else {
                counter_.Count();
            }
        } catch (const Failure& failure) {
            status_.ShowFailure(failure);
            continue;
        }
        scans.AppendListRecord(record);
        last = &record;
    }
    if (last != nullptr) {
        scans.SetCounterText(GroupedText(counter_.Value(), services_.locale));
        scans.SetDataMenuEnabled(true);
        scans.SetFileText("File: " + last->path);
    }
}

RecorderFigures Recorder::Figures() const {
    const std::optional<Failure>& trouble = status_.WriterTrouble();
    return {recorded_,
            status_.Discarded(),
            outstanding_,
            services_.comm.PortOpen(),
            trouble ? trouble->number() : 0,
            !settings_.DatabaseConnection.empty(),
            database_status_.waiting,
            database_status_.delivered};
}

void Recorder::ResetCounter() {
    // The writer reports lines in the order they arrived: the next ones are those now waiting.
    before_reset_ = outstanding_;
    counter_.Reset();
    services_.scans.SetCounterText("0");
}

}  // namespace brisolant
