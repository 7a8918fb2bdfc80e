#include "ScanSource.h"

namespace brisolant::station {

ScanSource::ScanSource(const StationOptions& options)
    : kind_(options.kind), samplePending_(options.sampleFirst), generator_(options.seed) {}

std::string ScanSource::NextScanText() {
    if (samplePending_) {
        samplePending_ = false;
        return SampleScanText();
    }
    switch (kind_) {
        case ScanKind::Sample:
            return SampleScanText();
        case ScanKind::Metric:
            return ScanText(MetricParcel(generator_.NextBarcode()));
        case ScanKind::Random:
            break;
    }
    return ScanText(generator_.NextRandom());
}

}  // namespace brisolant::station
