#include "scan/DataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "common/Failure.h"
#include "common/PosixFile.h"
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

bool IsUsableFileName(const std::string& fileName) {
    return !fileName.empty() &&
           fileName.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

// Writes all of `bytes`, going on after partial writes. Returns 0 or the error, and in
// `written` how many bytes reached the file.
int WriteLine(FileLayer& files, int fd, std::string_view bytes, std::size_t& written) {
    written = 0;
    while (written < bytes.size()) {
        const ssize_t count = files.Write(fd, bytes.substr(written));
        if (count <= 0) {
            return count < 0 ? static_cast<int>(-count) : EIO;
        }
        written += static_cast<std::size_t>(count);
    }
    return 0;
}

// Takes back the `written` bytes of a line that could not be finished or synced, which would
// otherwise merge with the next line or come back a second time when the scan is written again.
// With O_APPEND they end at the end of the file.
void TakeBackLine(FileLayer& files, int fd, std::size_t written) {
    if (written == 0) {
        return;
    }
    const off_t end = files.Size(fd);
    if (end >= static_cast<off_t>(written)) {
        (void)files.Truncate(fd, end - static_cast<off_t>(written));
    }
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

// A name as a failure message shows it: no control character can upset the status bar.
std::string ShownName(std::string_view text) {
    std::string shown(text);
    std::replace_if(
        shown.begin(), shown.end(),
        [](char c) {
            const auto code = static_cast<unsigned char>(c);
            return code < 32 || code == 127;
        },
        ' ');
    return shown;
}

// What stands in a data file's place when it is not a regular file.
std::string FileKind(mode_t mode) {
    if (S_ISCHR(mode)) {
        return "a character device";
    }
    if (S_ISBLK(mode)) {
        return "a block device";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    return "not a regular file";
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

void AppendRecordLine(const std::string& folder, const std::string& fileName, std::string_view line,
                      FileLayer& files) {
    if (!IsUsableFileName(fileName)) {
        throw Failure(FailureCode::DataFileBadName, "\"" + ShownName(fileName) + "\"");
    }
    // A NUL would end the path early and could name another file than the one shown.
    if (folder.find('\0') != std::string::npos) {
        throw Failure(FailureCode::DataFileBadName, "\"" + ShownName(folder) + "\"");
    }
    const std::string path = folder + fileName;
    const int fd = files.OpenForAppend(path, true);
    if (fd < 0) {
        throw Failure(FailureCode::DataFileOpen, SystemErrorText(path, -fd));
    }
    // A device in the file's place (a link to /dev/null, say) takes every line and keeps none.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        (void)files.Close(fd);
        throw Failure(FailureCode::DataFileNotRegular, path + ": " + FileKind(info.st_mode));
    }
    std::string bytes;
    bytes.reserve(line.size() + 2);
    bytes.append(line).append("\r\n");
    std::size_t written = 0;
    int error = WriteLine(files, fd, bytes, written);
    // The scan counts only once its line is on the disk: a power cut must not take back a record
    // the operator saw counted.
    if (error == 0) {
        error = files.SyncData(fd);
    }
    if (error != 0) {
        TakeBackLine(files, fd, written);
        (void)files.Close(fd);
        throw Failure(FailureCode::DataFileWrite, SystemErrorText(path, error));
    }
    // A write that a file system would report only at close has been reported by the sync; a
    // failure now must not send a line that is on the disk a second time.
    (void)files.Close(fd);
}

}  // namespace brisolant
