// The data view over a year of scans: a data file of a million record lines shown in a list,
// scrolled to the end and back. RecordListModel against a QListWidget filled line by line.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QListView>
#include <QListWidget>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "window/qt/RecordListModel.h"
#include "window/qt/RecordListViewSetup.h"

namespace {

constexpr int kLines = 1'000'000;

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

// A data file of kLines records of 139 characters and CR LF, written once for the whole run.
class DataFile {
  public:
    DataFile() {
        folder_ = std::filesystem::temp_directory_path() /
                  ("brisolant-dataview-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
        path_ = (folder_ / "LOG-B12.txt").string();
        std::ofstream out(path_, std::ios::binary);
        std::string line;
        for (int i = 0; i < kLines; ++i) {
            line =
                "2007/08/29,14:03:07,1    ,11.0 in     ,22.8 in     ,13.6 in     ,12.44 lb    ,"
                "26.31       ,110.7       ,";
            line += std::to_string(1234567890 + i);
            line.resize(139, ' ');
            line += "\r\n";
            out << line;
        }
    }
    ~DataFile() { std::filesystem::remove_all(folder_); }

    const std::string& path() const { return path_; }

  private:
    std::filesystem::path folder_;
    std::string path_;
};

const DataFile& TheFile() {
    static const DataFile file;
    return file;
}

// Shows the view, scrolls to the last row and back to the first, painting each time, as an
// operator switching the view on and dragging the scroll bar would.
void ShowAndScroll(QListView& view) {
    view.resize(1000, 600);
    view.show();
    QApplication::processEvents();
    view.scrollToBottom();
    view.viewport()->repaint();
    QApplication::processEvents();
    view.scrollToTop();
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

void BM_RecordListModel(benchmark::State& state) {
    const std::string& path = TheFile().path();
    for (auto _ : state) {
        const double before = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        brisolant::RecordListModel model;
        QListView view;
        brisolant::ConfigureRecordListView(view);
        view.setModel(&model);
        model.AppendFile(path);
        ShowAndScroll(view);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        ReportMemory(state, before, ResidentBytes());
        state.counters["rows"] = model.rowCount();
    }
}

void BM_QListWidgetAddItem(benchmark::State& state) {
    const std::string& path = TheFile().path();
    for (auto _ : state) {
        const double before = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        QListWidget view;
        brisolant::ConfigureRecordListView(view);
        std::ifstream in(path, std::ios::binary);
        std::string line;
        while (std::getline(in, line, '\n')) {
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            view.addItem(QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
        }
        ShowAndScroll(view);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(elapsed.count());
        ReportMemory(state, before, ResidentBytes());
        state.counters["rows"] = view.count();
    }
}

// The model first: the widget's million small allocations stay resident after it is gone.
BENCHMARK(BM_RecordListModel)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
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
