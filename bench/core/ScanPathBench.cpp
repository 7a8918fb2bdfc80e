// The work one scan costs in the core before it is handed to the writer: cutting, reading and
// converting the values and building the record line. The writing is StoreBench's.

#include <benchmark/benchmark.h>

#include <string>

#include "device/CommHandler.h"
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

}  // namespace
}  // namespace brisolant
