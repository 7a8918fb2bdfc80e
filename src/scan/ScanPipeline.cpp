#include "scan/ScanPipeline.h"

#include "scan/DataFile.h"
#include "scan/Measurements.h"
#include "scan/ScanParser.h"

namespace brisolant {

ScanResult ScanToRecordLine(std::string_view text, const LocalDateTime& now,
                            const Settings& settings, const LocaleFormat& locale) {
    ScanResult result;
    ScanRecord& record = result.shown;
    record.RecordDate = DateText(now, locale);
    record.RecordTime = TimeText(now, locale);
    ParseScanText(text, record);
    ConvertMeasurements(record, settings, locale);

    ScanRecord stripped = record;
    StripUnitWords(stripped, settings, locale);
    result.recordLine = BuildRecordLine(stripped, settings);
    return result;
}

void AddManualEntry(std::string& recordLine, std::string_view answer, const Settings& settings) {
    FixedText field = ScanRecord().ManualEntry;
    field = answer;
    recordLine += settings.FileDelimiter + OneLineText(field.Text());
}

}  // namespace brisolant
