// The work one scan costs in the core: cutting, reading and converting the values and building
// the record line, then adding the line to the day's file.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "device/CommHandler.h"
#include "scan/DataFile.h"
#include "scan/ScanPipeline.h"
#include "station/ScanTexts.h"

namespace brisolant {
namespace {

// The program's built-in test scan.
const std::string kSampleScan = CommHandler::TestScanText();

const std::string kMetricScan = station::ScanText(station::MetricParcel("987654321"));

void RunScanCore(benchmark::State& state, const std::string& scan, const Settings& settings,
                 const LocaleFormat& locale) {
    const LocalDateTime now{2007, 8, 29, 14, 3, 7};
    for (auto _ : state) {
        ScanResult result = ScanToRecordLine(scan, now, settings, locale);
        benchmark::DoNotOptimize(result);
    }
}

void BM_ScanCoreSample(benchmark::State& state) {
    RunScanCore(state, kSampleScan, Settings{}, EnglishUnitedStates());
}
BENCHMARK(BM_ScanCoreSample);

void BM_ScanCoreMetricConvertedAndStripped(benchmark::State& state) {
    Settings settings;
    settings.ConvertCMtoMM = true;
    settings.RemoveInCm = true;
    settings.RemoveLbKg = true;
    RunScanCore(state, kMetricScan, settings, EnglishUnitedStates());
}
BENCHMARK(BM_ScanCoreMetricConvertedAndStripped);

// The locale that cannot read "3.5" takes the slower road through a caught failure.
void BM_ScanCoreDecimalCommaGroupingSpace(benchmark::State& state) {
    RunScanCore(state, kSampleScan, Settings{}, LocaleFormat{",", " ", "/", ":"});
}
BENCHMARK(BM_ScanCoreDecimalCommaGroupingSpace);

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "brisolant-bench-XXXXXX");
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern + "/";
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

// A line as long as a real record, so both variants write the same 141 bytes.
const std::string kLine(139, 'x');
constexpr int kAppends = 20000;  // keeps the file at a few megabytes

// What the program does for every scan: open, write, fdatasync, close.
void BM_AppendRecordLine(benchmark::State& state) {
    const TempFolder folder;
    for (auto _ : state) {
        AppendRecordLine(folder.path(), "LOG-241.txt", kLine);
    }
}
BENCHMARK(BM_AppendRecordLine)->Iterations(kAppends)->UseRealTime();

// The same without waiting for the disk: the price of the sync is the difference.
class UnsyncedFiles : public PosixFileLayer {
  public:
    int SyncData(int) override { return 0; }
};

void BM_AppendRecordLineWithoutSync(benchmark::State& state) {
    const TempFolder folder;
    UnsyncedFiles files;
    for (auto _ : state) {
        AppendRecordLine(folder.path(), "LOG-241.txt", kLine, files);
    }
}
BENCHMARK(BM_AppendRecordLineWithoutSync)->Iterations(kAppends)->UseRealTime();

// The least any append costs: open, one write, close, with no checks.
void BM_BareOpenWriteClose(benchmark::State& state) {
    const TempFolder folder;
    const std::string path = folder.path() + "LOG-241.txt";
    const std::string bytes = kLine + "\r\n";
    for (auto _ : state) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        benchmark::DoNotOptimize(::write(fd, bytes.data(), bytes.size()));
        ::close(fd);
    }
}
BENCHMARK(BM_BareOpenWriteClose)->Iterations(kAppends);

}  // namespace
}  // namespace brisolant
