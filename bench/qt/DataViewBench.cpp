// The data view over a year of scans: a data file of a million record lines opened in the view
// and drawn at its newest record, against counting its lines with `wc -l` and against a
// QListWidget filled line by line; and the cost of one new record in a view of a thousand and of
// a million lines.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QFontDatabase>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "window/DataFileLines.h"
#include "window/LineIndex.h"
#include "window/RecordLines.h"
#include "window/qt/RecordListView.h"

using brisolant::LineIndex;
using brisolant::RecordLines;
using brisolant::RecordListView;

namespace {

constexpr int kLines = 1'000'000;

std::string RecordLine(int i) {
    std::string line =
        "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
        "26.31       ,110.7       ,";
    line += std::to_string(1234567890 + i);
    line.resize(139, ' ');
    return line;
}

// Resident memory of this process in bytes, from /proc/self/status.
double ResidentBytes() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            double kib = 0;
            status >> kib;
            return kib * 1024;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// A data file of record lines of 139 characters and CR LF.
class DataFile {
  public:
    explicit DataFile(int lines) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("brisolant-dataview-bench-" + std::to_string(::getpid()) + "-" +
                   std::to_string(lines));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "LOG-B12.txt").string();
        std::ofstream out(path_, std::ios::binary);
        for (int i = 0; i < lines; ++i) {
            out << RecordLine(i) << "\r\n";
        }
    }
    ~DataFile() { std::filesystem::remove_all(folder_); }

    const std::string& path() const { return path_; }

  private:
    std::filesystem::path folder_;
    std::string path_;
};

const DataFile& TheFile() {
    static const DataFile file(kLines);
    return file;
}

// Shows the view at its last row and draws it, as the operator sees it once switched on.
void ShowAtTheEnd(QAbstractScrollArea& view) {
    view.resize(1000, 600);
    view.show();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    QApplication::processEvents();
}

// The largest growth of any iteration: later iterations mostly reuse memory the first one left
// with the allocator, so the first tells what showing the view costs.
void ReportMemory(benchmark::State& state, double before, double after) {
    const double added = (after - before) / (1024.0 * 1024.0);
    double& counter = state.counters["added_MB"].value;
    counter = std::max(counter, added);
}

// The file's lines as the view's reading thread hands them over: indexed, the newest read.
brisolant::DataFileLines Read(const std::string& path) {
    return brisolant::ReadDataFileLines(path, RecordLines::kMaxShownBytes);
}

// Switching the view on: the file indexed and its newest lines read (on the reading thread in
// the program, here in line), the view shown and drawn at its newest record.
void BM_RecordListView(benchmark::State& state) {
    const std::string& path = TheFile().path();
    for (auto _ : state) {
        const double before = ResidentBytes();
        RecordListView view;
        view.ShowFile(Read(path));
        ShowAtTheEnd(view);
        ReportMemory(state, before, ResidentBytes());
        state.counters["rows"] = view.RowCount();
    }
}

// The index alone: the part of switching on that grows with the file.
void BM_LineIndex(benchmark::State& state) {
    for (auto _ : state) {
        const LineIndex index(TheFile().path());
        benchmark::DoNotOptimize(index.size());
    }
}

// What the same file costs `wc -l`, which reads it and counts its line ends: the yardstick for
// opening the view. Its CPU time, user and system, is the iteration's time.
void BM_WcLines(benchmark::State& state) {
    const std::string& path = TheFile().path();
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        char wc[] = "wc", lines[] = "-l";
        std::string file = path;
        char* argv[] = {wc, lines, file.data(), nullptr};
        pid_t child = 0;
        if (posix_spawnp(&child, "wc", &actions, nullptr, argv, environ) != 0) {
            state.SkipWithError("cannot run wc");
            break;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        const auto seconds = [](const timeval& t) {
            return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
        };
        state.SetIterationTime(seconds(usage.ru_utime) + seconds(usage.ru_stime));
    }
}

// One record added to a shown view of a data file of state.range(0) lines, scrolled to its end
// as an operator watching new parcels keeps it: the CPU time of adding the line, scrolling it
// into view and drawing what changed. Each record comes after a quiet spell, as at an ordinary
// pace, so the scroll bar follows it at once; in a burst the bar follows at most twice a second.
void BM_DataViewAppend(benchmark::State& state) {
    const auto lines = static_cast<int>(state.range(0));
    std::unique_ptr<DataFile> own;
    if (lines != kLines) {
        own = std::make_unique<DataFile>(lines);
    }
    RecordListView view;
    view.ShowFile(Read(own ? own->path() : TheFile().path()));
    ShowAtTheEnd(view);
    auto* quietSpell = view.findChild<QTimer*>(QStringLiteral("tmrScrollRange"));
    int next = lines;
    for (auto _ : state) {
        view.AppendLine(RecordLine(next++));
        QApplication::processEvents();
        state.PauseTiming();
        quietSpell->stop();
        state.ResumeTiming();
    }
    state.counters["rows"] = view.RowCount();
}

void BM_QListWidgetAddItem(benchmark::State& state) {
    const std::string& path = TheFile().path();
    for (auto _ : state) {
        const double before = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        QListWidget view;
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSizeF(9.75);
        view.setFont(font);
        view.setUniformItemSizes(true);
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line, '\n')) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            view.addItem(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        }
        ShowAtTheEnd(view);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        ReportMemory(state, before, ResidentBytes());
        state.counters["rows"] = view.count();
    }
}

// The model first: the widget's million small allocations stay resident after it is gone.
BENCHMARK(BM_RecordListView)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LineIndex)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WcLines)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DataViewAppend)
    ->Name("DataViewAppend")
    ->Arg(1000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QListWidgetAddItem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    TheFile();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
