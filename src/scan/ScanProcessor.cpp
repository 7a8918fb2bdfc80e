#include "scan/ScanProcessor.h"

#include <algorithm>

#include "common/Failure.h"
#include "scan/CentralFields.h"
#include "scan/DataFile.h"
#include "scan/Measurements.h"
#include "scan/ScanPipeline.h"
#include "store/DataFileAppender.h"

namespace brisolant {

namespace {

constexpr const char* kManualEntryTitle = "Manual Entry";
constexpr const char* kManualEntryPrompt =
    "Enter any addtional information to this record\r50 Character maximum";

}  // namespace

ScanProcessor::ScanProcessor(ScanDisplay& display, InputPrompt& prompt, const Settings& settings,
                             const Clock& clock, const LocaleFormat& locale)
    : display_(display), prompt_(prompt), settings_(settings), clock_(clock), locale_(locale) {}

FinishedRecord ScanProcessor::Process(const std::string& text) {
    // The time the scan arrived: it is written with the record however long the writing waits.
    const LocalDateTime now = clock_.Now();
    data_file_name_ = BuildDataFileName(now, settings_, locale_, data_file_name_);

    ScanResult result = ScanToRecordLine(text, now, settings_, locale_);
    ShowRecord(result.shown);

    std::string& line = result.recordLine;
    std::string answer;
    if (settings_.ManualEntryData) {
        answer = prompt_.Ask(kManualEntryTitle, kManualEntryPrompt);
        AddManualEntry(line, answer, settings_);
    }
    // A name no file can have would hold up every scan behind it for good.
    if (!IsUsableFileName(data_file_name_)) {
        throw Failure(FailureCode::DataFileBadName, "\"" + OneLineText(data_file_name_) + "\"");
    }
    if (settings_.DatabaseConnection.empty()) {
        return {data_file_name_, std::move(line), {}};
    }
    // The manual entry field as the line holds it: the answer cut to its width, on one line.
    const std::size_t entryWidth = std::min(line.size(), ScanRecord().ManualEntry.Width());
    const std::string_view entry = settings_.ManualEntryData
                                       ? std::string_view(line).substr(line.size() - entryWidth)
                                       : std::string_view();
    CentralRecord central = CentralFields(result.shown, now, entry, line);
    return {data_file_name_, std::move(line), std::move(central)};
}

// The window shows the texts as parsed and converted, unit words included.
void ScanProcessor::ShowRecord(const ScanRecord& record) {
    display_.SetDataText(0, record.Barcode.Text());
    display_.SetDataText(2, record.RecordDate.Text());
    display_.SetDataText(3, record.RecordTime.Text());
    display_.SetDataText(4, record.DeviceNumber.Text());
    display_.SetDataText(5, record.GrossWeight.Text());
    display_.SetDataText(6, record.Length.Text());
    display_.SetDataText(7, record.Width.Text());
    display_.SetDataText(8, record.Height.Text());
    display_.SetDataText(9, record.DimFactor.Text());
    display_.SetDataText(10, record.DimWeight.Text());
    display_.SetDataText(11, DimVolume(record, locale_));
}

}  // namespace brisolant
