#include "headless/qt/HeadlessProgram.h"

#include <utility>

#include "common/RunGuarded.h"
#include "recorder/WaitingScansMessage.h"
#include "settings/SettingsPlace.h"
#include "store/FileLayer.h"
#include "store/RecordJournal.h"
#include "store/RecordStore.h"

namespace brisolant {

namespace {

std::string Scans(std::uint64_t count) {
    return std::to_string(count) + (count == 1 ? " scan" : " scans");
}

std::string ForDatabase(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " record" : " records") + " for the database";
}

// The scans an earlier run kept in the journal, told before the writer takes them on: those
// waiting for their data files, and the records waiting for the database.
std::string KeptFromLastRun(const std::string& journalPath) {
    try {
        const JournalIndex index =
            RecordJournal(PosixFiles(), journalPath).Load(RecordStore::kLimit);
        return Scans(index.waiting.size()) +
               (index.forDatabase.empty() ? "" : "; " + ForDatabase(index.forDatabase.size()));
    } catch (const Failure& failure) {
        return "unknown (" + failure.description() + ")";
    }
}

}  // namespace

HeadlessProgram::HeadlessProgram(SettingsPlace place, HeadlessSetup setup, std::ostream& log,
                                 ServiceManager& manager)
    : manager_(manager),
      place_(place),
      setup_(std::move(setup)),
      log_(log, clock_, manager, setup_.style),
      recorder_(platform_.Services({log_, log_, pump_, prompt_, log_}, place, setup_.journalPath)) {
    if (!setup_.metricsFile.empty()) {
        metrics_.emplace(
            MetricsSetup{setup_.metricsFile, StationOf(place_), setup_.version,
                         [this] { return DatabaseStationName(recorder_.settings()); }},
            [this] { return recorder_.Figures(); },
            [this](const std::optional<Failure>& failure) {
                if (failure) {
                    log_.Write(FailurePriority(failure->code()), StatusText(*failure));
                } else {
                    log_.Write(LogPriority::Info, "Metrics written again: " + setup_.metricsFile);
                }
            });
    }
    platform_.Connect(recorder_, [this](const std::function<void()>& step) { Run(step); });
    QObject::connect(&alive_, &QTimer::timeout, [this] { Alive(); });
    QObject::connect(&summary_, &QTimer::timeout, [this] {
        log_.Tick();
        if (!log_.SummaryPending()) {
            summary_.stop();
        }
    });
}

HeadlessProgram::~HeadlessProgram() {
    platform_.Disconnect();
    platform_.ClosePort();
}

// Every step may change what the site's monitoring sees.
void HeadlessProgram::Run(const std::function<void()>& step) {
    RunGuarded(step, [this](const Failure& failure) { recorder_.ShowFailure(failure); });
    // The log's summary of a fault comes due with time; an idle program keeps no timer.
    if (log_.SummaryPending() && !summary_.isActive()) {
        summary_.start(std::chrono::seconds(1));
    }
    if (metrics_) {
        metrics_->Changed();
    }
}

void HeadlessProgram::Start() {
    const std::string journal =
        setup_.journalPath.empty() ? JournalPathFor(place_.iniFilePath) : setup_.journalPath;
    const std::string kept = KeptFromLastRun(journal);
    Run([this] { recorder_.Start(); });
    const Settings& settings = recorder_.settings();
    log_.Write(LogPriority::Info, "Started Brisolant " + setup_.version + ": settings " +
                                      settings.IniFilePath + "; data " + settings.FilePath +
                                      "; journal " + journal + "; " + kept +
                                      " waiting from the last run");
    if (metrics_) {
        metrics_->Start();
    }
    manager_.Ready();
    if (const auto interval = manager_.AliveInterval(); interval.count() > 0) {
        alive_.start(interval);
    }
}

// The watchdog hears that the program lives only while its writer does too: a writer stuck on
// the journal's disk holds every scan back, and a restart is what mends it.
void HeadlessProgram::Alive() {
    if (platform_.WriterHeartbeat()) {
        if (std::exchange(writer_silent_, false)) {
            log_.Write(LogPriority::Info, "The writer answers again");
        }
        manager_.Alive();
    } else if (!writer_silent_) {
        writer_silent_ = true;
        log_.Write(LogPriority::Error,
                   "The writer does not answer (stuck on the journal's disk); the watchdog is "
                   "no longer fed, so that the service is started again");
    }
}

void HeadlessProgram::End() {
    manager_.Stopping();
    alive_.stop();
    summary_.stop();
    log_.Flush();
    platform_.ClosePort();
    RunGuarded(
        [this] {
            const StopOutcome outcome = recorder_.Stop(Recorder::kEndPatience);
            const std::string waiting = WaitingScansMessage(outcome);
            log_.Write(
                waiting.empty() ? LogPriority::Info : LogPriority::Error,
                "Stopped: " + Scans(recorder_.Figures().recorded) + " recorded in this run; " +
                    (waiting.empty() ? "none kept in the journal" : waiting) +
                    (outcome.databaseWaiting > 0 ? "; " + ForDatabase(outcome.databaseWaiting) +
                                                       " kept in the journal, sent when it answers"
                                                 : ""));
        },
        [this](const Failure& failure) { log_.Write(LogPriority::Error, StatusText(failure)); });
    if (metrics_) {
        metrics_->Stop();
    }
}

}  // namespace brisolant
