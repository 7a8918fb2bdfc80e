#include "scan/DataFile.h"

#include <algorithm>
#include <cstdio>

#include "scan/DayNumber.h"

namespace brisolant {

namespace {

// Zero-padded decimal of at least `width` digits.
std::string Padded(int number, int width) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%0*d", width, number);
    return buffer;
}

std::string CompactDateText(const LocalDateTime& when) {
    return Padded(when.year, 4) + Padded(when.month, 2) + Padded(when.day, 2);
}

// CR and LF would split the record in two; every other byte is the station's (a GS1 barcode's
// group separators are read by whoever reads the file).
void BlankLineEnds(std::string::iterator first, std::string::iterator last) {
    std::replace_if(
        first, last, [](char c) { return c == '\r' || c == '\n'; }, ' ');
}

// The close time as typed, each of the locale's time separators turned into ":".
std::string WithColons(const std::string& time, const LocaleFormat& locale) {
    const std::string& separator = locale.timeSeparator;
    if (separator.empty() || separator == ":") {
        return time;
    }
    std::string result;
    for (std::size_t pos = 0; pos < time.size();) {
        if (time.compare(pos, separator.size(), separator) == 0) {
            result += ':';
            pos += separator.size();
        } else {
            result += time[pos++];
        }
    }
    return result;
}

}  // namespace

std::string DateText(const LocalDateTime& when, const LocaleFormat& locale) {
    return Padded(when.year, 4) + locale.dateSeparator + Padded(when.month, 2) +
           locale.dateSeparator + Padded(when.day, 2);
}

std::string TimeText(const LocalDateTime& when, const LocaleFormat& locale) {
    return Padded(when.hour, 2) + locale.timeSeparator + Padded(when.minute, 2) +
           locale.timeSeparator + Padded(when.second, 2);
}

std::string BuildDataFileName(const LocalDateTime& now, const Settings& settings,
                              const LocaleFormat& locale, const std::string& previousName) {
    // Before the close time the scan still belongs to yesterday's file. The comparison is by
    // character code, so "6:00:00" lies above every time written with two hour digits. Both
    // sides use ":", whatever the locale writes: "02.30.00" would sort above "02:00:00".
    const LocalDateTime fileDay =
        TimeText(now, EnglishUnitedStates()) < WithColons(settings.CloseTime, locale)
            ? PreviousDay(now)
            : now;
    const std::string dayNumber = Padded(DayNumber(fileDay), 3);
    const std::string compactDate = CompactDateText(fileDay);
    switch (settings.LogFileType) {
        case 0:
            return "LOG-" + dayNumber + settings.BranchID + ".txt";
        case 1:
            return "LOG-" + compactDate + settings.BranchID + ".txt";
        case 2:
            return "LOG-" + settings.BranchID + ".txt";
        default:
            return previousName;
    }
}

std::string OneLineText(std::string_view text) {
    std::string line(text);
    BlankLineEnds(line.begin(), line.end());
    return line;
}

std::string BuildRecordLine(const ScanRecord& record, const Settings& settings) {
    const FixedText* const fields[] = {
        &record.RecordDate, &record.RecordTime, &record.DeviceNumber, &record.Length,
        &record.Width,      &record.Height,     &record.GrossWeight,  &record.DimWeight,
        &record.DimFactor,  &record.Barcode,
    };
    std::string line;
    line.reserve(139 + 9 * settings.FileDelimiter.size());
    for (const FixedText* field : fields) {
        if (field != fields[0]) {
            line += settings.FileDelimiter;
        }
        const std::size_t start = line.size();
        line += field->Text();
        BlankLineEnds(line.begin() + static_cast<std::ptrdiff_t>(start), line.end());
    }
    return line;
}

}  // namespace brisolant
