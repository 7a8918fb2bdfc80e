// Arbitrary bytes as a scan text, through everything that turns a scan into its record line:
// ScanToRecordLine (parse, convert, strip, build the line), DimVolume and AddManualEntry.
//
// Input: byte 0 chooses the locale and the settings, byte 1 the delimiter and whether the text
// starts near the last position a scan may use; the rest is the scan text. A Failure ends a scan
// as it would in the program; any other exception, a crash, undefined behaviour or a record line
// that is not exactly one line of the fixed width is a fault.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/Failure.h"
#include "common/LocaleFormat.h"
#include "scan/Measurements.h"
#include "scan/NumberFormat.h"
#include "scan/ScanPipeline.h"
#include "scan/ScanRecord.h"
#include "settings/Settings.h"

namespace {

using namespace brisolant;

// Decimal point and decimal comma, with the grouping characters real locales pair them with
// (the French one is Latin-1's no-break space, as the shell hands it over).
LocaleFormat LocaleFor(unsigned choice) {
    LocaleFormat locale;
    switch (choice % 4) {
        case 1:
            locale.decimal = ",";
            locale.grouping = ".";
            locale.dateSeparator = ".";
            break;
        case 2:
            locale.decimal = ",";
            locale.grouping = "\xA0";
            break;
        case 3:
            locale.decimal = ".";
            locale.grouping = "'";
            locale.dateSeparator = "-";
            break;
        default:
            break;
    }
    return locale;
}

// Delimiters the settings can hold: the dialog's single characters, a hand-edited longer text,
// none at all, and control characters.
constexpr std::string_view kDelimiters[] = {",", ";", "\t", "", "||", " ", "\x1f", ", "};

// Starting the text here puts the labels around position 32,767, the last one a scan may use.
constexpr std::size_t kNearLastPosition = 32700;

[[noreturn]] void Fault(const char* what, std::string_view line) {
    std::fprintf(stderr, "fault: %s\nline: [%.*s]\n", what, static_cast<int>(line.size()),
                 line.data());
    std::abort();
}

bool IsControl(char c) {
    const auto code = static_cast<unsigned char>(c);
    return code < 32 || code == 127;
}

bool HoldsControl(std::string_view text) {
    for (char c : text) {
        if (IsControl(c)) {
            return true;
        }
    }
    return false;
}

// A CR or LF inside a field would split the record: those two are the only bytes blanked.
bool HoldsLineEnd(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// Fields of the given widths, each free of line ends, joined by exactly the delimiter. Every
// other byte the station sent (a GS1 group separator, a tab) reaches the field as it was.
void CheckOneLine(std::string_view line, const std::size_t* widths, std::size_t count,
                  std::string_view delimiter) {
    std::size_t expected = (count - 1) * delimiter.size();
    for (std::size_t i = 0; i < count; ++i) {
        expected += widths[i];
    }
    if (line.size() != expected) {
        Fault("record line of the wrong width", line);
    }
    std::size_t pos = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            if (line.substr(pos, delimiter.size()) != delimiter) {
                Fault("delimiter missing between fields", line);
            }
            pos += delimiter.size();
        }
        if (HoldsLineEnd(line.substr(pos, widths[i]))) {
            Fault("line end inside a field", line);
        }
        pos += widths[i];
    }
}

// What NumberText writes, ToNumber reads back, for the magnitudes a scan carries.
void CheckNumberRoundTrip(double value, const LocaleFormat& locale) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < 1e15)) {
        return;
    }
    const std::string text = NumberText(value, locale);
    const double back = ToNumber(text, locale);
    if (std::fabs(back - value) > magnitude * 1e-14) {
        Fault("NumberText does not read back", text);
    }
}

void RunScan(std::string_view text, const Settings& settings, const LocaleFormat& locale) {
    ScanResult result;
    try {
        result = ScanToRecordLine(text, {2007, 8, 29, 14, 3, 7}, settings, locale);
        const std::string volume = DimVolume(result.shown, locale);
        if (volume.empty() || HoldsControl(volume)) {
            Fault("DimVolume is not a plain number", volume);
        }
    } catch (const Failure&) {
        return;  // the scan is reported and nothing is written
    }
    const ScanRecord& shown = result.shown;
    for (double value :
         {shown.LengthValue, shown.WidthValue, shown.HeightValue, shown.WeightValue}) {
        CheckNumberRoundTrip(value, locale);
    }
    constexpr std::size_t kWidths[] = {10, 8, 5, 12, 12, 12, 12, 12, 12, 35, 50};
    std::string line = result.recordLine;
    std::size_t count = 10;
    if (settings.ManualEntryData) {
        AddManualEntry(line, text, settings);  // the operator may type anything at all
        count = 11;
    }
    CheckOneLine(line, kWidths, count, settings.FileDelimiter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const unsigned flags = data[0];
    const unsigned layout = data[1];
    const LocaleFormat locale = LocaleFor(flags);
    Settings settings;
    settings.ConvertCMtoMM = (flags & 0x04) != 0;
    settings.RemoveInCm = (flags & 0x08) != 0;
    settings.RemoveLbKg = (flags & 0x10) != 0;
    settings.ManualEntryData = (flags & 0x20) != 0;
    settings.FileDelimiter = std::string(kDelimiters[layout % std::size(kDelimiters)]);

    std::string text;
    if ((flags & 0x40) != 0) {
        text.assign(kNearLastPosition + (layout >> 3) * 4, ' ');
    }
    text.append(reinterpret_cast<const char*>(data + 2), size - 2);
    RunScan(text, settings, locale);
    return 0;
}
