#include "scan/ScanJournal.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <system_error>

#include "common/Failure.h"

namespace brisolant {

namespace {

// An entry: 'E', the check of the rest in 8 hex digits, the lengths of folder, file name and
// line in decimal, then the three texts back to back and a line feed. A mark: "W" and a line feed.
constexpr char kEntry = 'E';
constexpr std::string_view kWrittenMark = "W\n";
constexpr std::size_t kCheckDigits = 8;

// FNV-1a: enough to tell a whole entry from one cut short or filled with zeros by a crash.
std::uint32_t Check(std::string_view bytes) {
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

std::string CheckText(std::string_view bytes) {
    char text[kCheckDigits + 1];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(Check(bytes)));
    return text;
}

// Reads a decimal length and the blank after it; false when there is none.
bool ReadLength(std::string_view text, std::size_t& pos, std::size_t& length) {
    const char* first = text.data() + pos;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, length);
    if (error != std::errc() || end == first || end == last || *end != ' ') {
        return false;
    }
    pos += static_cast<std::size_t>(end - first) + 1;
    return true;
}

// Reads the entry at `pos`; false when it is not whole.
bool ReadEntry(std::string_view text, std::size_t& pos, WaitingScan& scan) {
    std::size_t at = pos + 1 + kCheckDigits + 1;
    if (at > text.size() || text[at - 1] != ' ') {
        return false;
    }
    const std::string_view check = text.substr(pos + 1, kCheckDigits);
    std::size_t lengths[3] = {};
    for (std::size_t& length : lengths) {
        if (!ReadLength(text, at, length)) {
            return false;
        }
    }
    const std::size_t available = text.size() - at;
    if (lengths[0] > available || lengths[1] > available - lengths[0] ||
        lengths[2] >= available - lengths[0] - lengths[1]) {
        return false;
    }
    const std::size_t end = at + lengths[0] + lengths[1] + lengths[2];
    const std::size_t checked = pos + 1 + kCheckDigits + 1;
    if (text[end] != '\n' || CheckText(text.substr(checked, end - checked)) != check) {
        return false;
    }
    scan.folder = text.substr(at, lengths[0]);
    scan.fileName = text.substr(at + lengths[0], lengths[1]);
    scan.line = text.substr(at + lengths[0] + lengths[1], lengths[2]);
    pos = end + 1;
    return true;
}

std::string ErrorText(const std::string& path, int error) {
    return path + ": " + std::generic_category().message(error);
}

}  // namespace

std::string JournalEntry(const WaitingScan& scan) {
    std::string checked = std::to_string(scan.folder.size()) + ' ' +
                          std::to_string(scan.fileName.size()) + ' ' +
                          std::to_string(scan.line.size()) + ' ';
    checked += scan.folder;
    checked += scan.fileName;
    checked += scan.line;
    return kEntry + CheckText(checked) + ' ' + checked + '\n';
}

std::deque<WaitingScan> ReadJournalText(std::string_view text, std::size_t& validSize) {
    std::deque<WaitingScan> waiting;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text.substr(pos, kWrittenMark.size()) == kWrittenMark && !waiting.empty()) {
            waiting.pop_front();
            pos += kWrittenMark.size();
            continue;
        }
        WaitingScan scan;
        if (text[pos] != kEntry || !ReadEntry(text, pos, scan)) {
            break;
        }
        waiting.push_back(std::move(scan));
    }
    validSize = pos;
    return waiting;
}

std::string JournalPathFor(const std::string& settingsFile) {
    constexpr std::string_view kSettingsEnding = ".ini";
    std::string path = settingsFile;
    if (path.ends_with(kSettingsEnding)) {
        path.resize(path.size() - kSettingsEnding.size());
    }
    return path + ".journal";
}

ScanJournal::ScanJournal(FileLayer& files, std::string path)
    : files_(files), path_(std::move(path)) {}

ScanJournal::Contents ScanJournal::Load() {
    std::string text;
    const int error = files_.ReadTail(path_, std::numeric_limits<std::size_t>::max(), text);
    if (error == ENOENT) {
        return {};
    }
    if (error != 0) {
        throw Failure(FailureCode::JournalRead, ErrorText(path_, error));
    }
    Contents contents;
    std::size_t validSize = 0;
    contents.waiting = ReadJournalText(text, validSize);
    if (validSize < text.size()) {
        contents.damaged = true;
        // New entries must not land behind the damage, where the next start would not find them.
        // Should the cut fail, the next entry's write is the one that reports it.
        try {
            CutTo(validSize);
        } catch (const Failure&) {
        }
    }
    return contents;
}

void ScanJournal::Add(const WaitingScan& scan) {
    Append(JournalEntry(scan));
}

void ScanJournal::MarkOldestWritten() {
    Append(kWrittenMark);
}

void ScanJournal::Clear() {
    CutTo(0);
}

void ScanJournal::Rewrite(const std::deque<WaitingScan>& waiting) {
    std::string text;
    for (const WaitingScan& scan : waiting) {
        text += JournalEntry(scan);
    }
    const int error = files_.ReplaceFile(path_, text);
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, ErrorText(path_, error));
    }
}

void ScanJournal::Append(std::string_view bytes) {
    const int fd = files_.OpenForAppend(path_, true);
    if (fd < 0) {
        throw Failure(FailureCode::JournalWrite, ErrorText(path_, -fd));
    }
    const off_t before = files_.Size(fd);
    int error = 0;
    std::size_t written = 0;
    while (error == 0 && written < bytes.size()) {
        const ssize_t count = files_.Write(fd, bytes.substr(written));
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else {
            error = count < 0 ? static_cast<int>(-count) : EIO;
        }
    }
    if (error == 0) {
        error = files_.SyncData(fd);
    }
    if (error != 0 && before >= 0) {
        // A torn entry at the end would hide every entry after it from the next start.
        (void)files_.Truncate(fd, before);
    }
    const int closeError = files_.Close(fd);
    if (error == 0) {
        error = closeError;
    }
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, ErrorText(path_, error));
    }
}

void ScanJournal::CutTo(std::size_t size) {
    const int fd = files_.OpenForAppend(path_, false);
    if (fd == -ENOENT) {
        return;
    }
    if (fd < 0) {
        throw Failure(FailureCode::JournalWrite, ErrorText(path_, -fd));
    }
    int error = files_.Truncate(fd, static_cast<off_t>(size));
    if (error == 0) {
        error = files_.SyncData(fd);
    }
    const int closeError = files_.Close(fd);
    if (error == 0) {
        error = closeError;
    }
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, ErrorText(path_, error));
    }
}

}  // namespace brisolant
