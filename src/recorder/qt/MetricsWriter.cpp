#include "recorder/qt/MetricsWriter.h"

#include <utility>

#include "recorder/MetricsFile.h"
#include "recorder/StationMetrics.h"

namespace brisolant {

MetricsWriter::MetricsWriter(MetricsSetup setup, std::function<RecorderFigures()> figures,
                             Report report)
    : setup_(std::move(setup)),
      figures_(std::move(figures)),
      report_(std::move(report)),
      previous_run_clean_(!MetricsFileExists(setup_.path)) {
    due_.setSingleShot(true);
    QObject::connect(&due_, &QTimer::timeout, [this] { Write(); });
    refresh_.setSingleShot(true);
    QObject::connect(&refresh_, &QTimer::timeout, [this] { Write(); });
}

std::int64_t MetricsWriter::Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void MetricsWriter::Start() {
    Write();
}

// A record counts from when the recorder reports it written, which is a step that ends here.
void MetricsWriter::Look(const RecorderFigures& figures) {
    if (figures.recorded > recorded_seen_) {
        last_record_time_ = Now();
    }
    recorded_seen_ = figures.recorded;
}

void MetricsWriter::Changed() {
    const RecorderFigures figures = figures_();
    Look(figures);
    if (written_ && *written_ == figures) {
        return;
    }
    if (const auto wait = pacing_.Changed(MetricsPacing::Clock::now())) {
        due_.start(std::chrono::ceil<std::chrono::milliseconds>(*wait));
    }
}

void MetricsWriter::Stop() {
    due_.stop();
    refresh_.stop();
    try {
        RemoveMetricsFile(setup_.path);
    } catch (const Failure& failure) {
        report_(failure);
    }
}

std::string MetricsWriter::Station() const {
    std::string name = setup_.recordsName ? setup_.recordsName() : std::string();
    return name.empty() ? setup_.station : name;
}

void MetricsWriter::Write() {
    due_.stop();
    const RecorderFigures figures = figures_();
    Look(figures);
    const StationSample sample{Station(),          setup_.version,    figures,
                               start_time_,        last_record_time_, Now(),
                               previous_run_clean_};
    std::optional<Failure> failure;
    try {
        ReplaceMetricsFile(setup_.path, MetricsText(sample));
        written_ = figures;
    } catch (const Failure& caught) {
        failure = caught;
        written_.reset();
    }
    pacing_.Written(MetricsPacing::Clock::now());
    refresh_.start(MetricsPacing::kRefresh);
    Tell(failure);
}

// A failure is told when it differs from the last one told; its end once.
void MetricsWriter::Tell(const std::optional<Failure>& failure) {
    if (failure && trouble_ != failure->description()) {
        trouble_ = failure->description();
        report_(failure);
    } else if (!failure && trouble_) {
        trouble_.reset();
        report_(std::nullopt);
    }
}

}  // namespace brisolant
