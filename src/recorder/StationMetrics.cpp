#include "recorder/StationMetrics.h"

#include <string_view>

namespace brisolant {

namespace {

// A label's value as the format quotes it.
std::string Quoted(std::string_view value) {
    std::string quoted = "\"";
    for (const char c : value) {
        if (c == '\\' || c == '"') {
            quoted += '\\';
            quoted += c;
        } else if (c == '\n') {
            quoted += "\\n";
        } else {
            quoted += c;
        }
    }
    return quoted + '"';
}

class FamilyWriter {
  public:
    explicit FamilyWriter(const std::string& station) : labels_("station=" + Quoted(station)) {}

    void AddText(std::string_view name, std::string_view type, std::string_view help,
                 std::string_view value, const std::string& moreLabels = {}) {
        text_ += "# HELP ";
        text_ += name;
        text_ += ' ';
        text_ += help;
        text_ += "\n# TYPE ";
        text_ += name;
        text_ += ' ';
        text_ += type;
        text_ += '\n';
        text_ += name;
        text_ += '{' + labels_ + moreLabels + "} ";
        text_ += value;
        text_ += '\n';
    }
    template <typename Number>
    void Add(std::string_view name, std::string_view type, std::string_view help, Number value) {
        AddText(name, type, help, std::to_string(value));
    }

    std::string Text() && { return std::move(text_); }

  private:
    std::string labels_;
    std::string text_;
};

}  // namespace

std::string MetricsText(const StationSample& sample) {
    const RecorderFigures& figures = sample.figures;
    FamilyWriter families(sample.station);
    families.Add("brisolant_scans_recorded_total", "counter",
                 "Records written to their data files since the program started.",
                 figures.recorded);
    families.Add("brisolant_blocks_rejected_total", "counter",
                 "Scans discarded since the program started, after blocks the line kept "
                 "rejecting.",
                 figures.rejected);
    families.Add("brisolant_scans_waiting", "gauge",
                 "Scans not yet in their data files (kept in the journal while they wait).",
                 figures.waiting);
    families.Add("brisolant_port_open", "gauge",
                 "1 while the station's serial port is open, 0 while it is closed or away.",
                 figures.portOpen ? 1 : 0);
    families.Add("brisolant_last_record_timestamp_seconds", "gauge",
                 "When the newest record of this run was written, in seconds since the epoch; 0 "
                 "before the first.",
                 sample.lastRecordTime);
    families.Add("brisolant_writer_trouble", "gauge",
                 "The status number of the failure that holds scans back from their files; 0 "
                 "when none does.",
                 figures.writerTrouble);
    if (figures.database) {
        families.Add("brisolant_db_waiting", "gauge",
                     "Records kept for the site's database and not yet committed by it.",
                     figures.databaseWaiting);
        families.Add("brisolant_db_delivered_total", "counter",
                     "Records the site's database committed since the program started.",
                     figures.databaseDelivered);
    }
    families.Add("brisolant_start_time_seconds", "gauge",
                 "When the program started, in seconds since the epoch.", sample.startTime);
    families.Add("brisolant_previous_run_clean", "gauge",
                 "1 when the run before this one ended cleanly or there was none; 0 when it "
                 "ended without taking its metrics file away (a crash, a kill, a power cut).",
                 sample.previousRunClean ? 1 : 0);
    families.Add("brisolant_metrics_timestamp_seconds", "gauge",
                 "When the program wrote this file, in seconds since the epoch; it writes it at "
                 "least once a minute while it runs.",
                 sample.writtenTime);
    families.AddText("brisolant_build_info", "gauge", "The program's version, in its label.", "1",
                     ",version=" + Quoted(sample.version));
    return std::move(families).Text();
}

}  // namespace brisolant
