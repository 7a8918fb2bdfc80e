#include "ScanSource.h"

namespace brisolant::station {

ScanSource::ScanSource(const StationOptions& options)
    : m_kind(options.kind), m_samplePending(options.sampleFirst), m_generator(options.seed) {}

std::string ScanSource::NextScanText() {
    if (m_samplePending) {
        m_samplePending = false;
        return SampleScanText();
    }
    switch (m_kind) {
        case ScanKind::Sample:
            return SampleScanText();
        case ScanKind::Metric:
            return ScanText(MetricParcel(m_generator.NextBarcode()));
        case ScanKind::Random:
            break;
    }
    return ScanText(m_generator.NextRandom());
}

}  // namespace brisolant::station
