#pragma once

#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "recorder/MetricsPacing.h"
#include "recorder/RecorderFigures.h"

namespace brisolant {

// What the metrics file is and what it says about its station.
struct MetricsSetup {
    std::string path;     // the file, in node_exporter's textfile folder
    std::string station;  // the settings file's name
    std::string version;  // the program's
    // The name the station's records carry in the site's database, once the settings are read
    // (empty before): the series carry it too, so that one name finds a station everywhere.
    std::function<std::string()> recordsName;
};

// Keeps a station's metrics file for the site's monitoring, for the window and the program
// without one alike: written at the start, after changes of the recorder's figures (at most once
// a second) and at least once a minute (MetricsPacing), and taken away at a clean end, so that a
// station stopped on purpose leaves nothing to alert on while a crash leaves its last file.
class MetricsWriter {
  public:
    // Told a failure to write the file when it differs from the last one told, and nothing once
    // the file is written again after one. Records go on either way.
    using Report = std::function<void(const std::optional<Failure>&)>;

    MetricsWriter(MetricsSetup setup, std::function<RecorderFigures()> figures, Report report);
    MetricsWriter(const MetricsWriter&) = delete;
    MetricsWriter& operator=(const MetricsWriter&) = delete;

    // Written now: the start.
    void Start();
    // A step of the recorder ran: its figures may have changed.
    void Changed();
    // Taken away: the program ends cleanly.
    void Stop();

  private:
    void Write();
    void Tell(const std::optional<Failure>& failure);
    std::string Station() const;
    void Look(const RecorderFigures& figures);
    static std::int64_t Now();

    MetricsSetup setup_;
    std::function<RecorderFigures()> figures_;
    Report report_;
    MetricsPacing pacing_;
    QTimer due_;
    QTimer refresh_;
    std::int64_t start_time_ = Now();
    bool previous_run_clean_ = true;
    std::int64_t last_record_time_ = 0;
    std::uint64_t recorded_seen_ = 0;
    std::optional<RecorderFigures> written_;
    std::optional<std::string> trouble_;  // the last failure told
};

}  // namespace brisolant
