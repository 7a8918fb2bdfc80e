#include "store/RecordJournal.h"

#include <algorithm>
#include <cerrno>

#include "common/Failure.h"
#include "common/PosixFile.h"
#include "store/WholeAppend.h"

namespace brisolant {

namespace {

constexpr std::size_t kReadPiece = 64 * 1024;
// Holds any whole record that begins it.
constexpr std::size_t kReadBackPiece = 4 * JournalParser::kMaxRecord;

}  // namespace

RecordJournal::RecordJournal(FileLayer& files, std::string path)
    : files_(files), path_(std::move(path)) {}

JournalIndex RecordJournal::Load(std::size_t limit) {
    const int fd = files_.OpenForRead(path_, false);
    if (fd == -ENOENT) {
        return {};
    }
    if (fd < 0) {
        throw Failure(FailureCode::JournalRead, SystemErrorText(path_, -fd));
    }
    JournalParser parser(limit);
    std::string piece;
    int error = 0;
    for (off_t offset = 0;; offset += static_cast<off_t>(piece.size())) {
        error = files_.ReadAt(fd, offset, kReadPiece, piece);
        if (error != 0 || piece.empty()) {
            break;
        }
        parser.Feed(piece);
    }
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::JournalRead, SystemErrorText(path_, error));
    }
    JournalIndex index = parser.Finish();
    size_ = index.tornTail ? index.wholeEnd : parser.Read();
    return index;
}

std::vector<std::optional<JournalScan>> RecordJournal::ReadBack(
    const std::vector<JournalEntry>& entries) {
    std::vector<std::optional<JournalScan>> scans;
    if (entries.empty()) {
        return scans;
    }
    const int fd = files_.OpenForRead(path_, false);
    if (fd < 0) {
        throw Failure(FailureCode::JournalRead, SystemErrorText(path_, -fd));
    }
    std::string piece;
    std::uint64_t pieceAt = 0;
    int error = 0;
    const auto readAt = [&](std::uint64_t at) {
        pieceAt = at;
        error = files_.ReadAt(fd, static_cast<off_t>(at), kReadBackPiece, piece);
        return error == 0;
    };
    for (const JournalEntry& entry : entries) {
        const bool inPiece = entry.at >= pieceAt && entry.at - pieceAt < piece.size();
        if (!inPiece && !readAt(entry.at)) {
            break;
        }
        JournalScan scan;
        RecordRead read =
            ReadScanRecord(std::string_view(piece).substr(entry.at - pieceAt), entry, scan);
        // A record that runs past the piece is read again from its start.
        if (read == RecordRead::NeedMore && pieceAt != entry.at) {
            if (!readAt(entry.at)) {
                break;
            }
            read = ReadScanRecord(piece, entry, scan);
        }
        scans.push_back(read == RecordRead::Whole ? std::optional(std::move(scan)) : std::nullopt);
    }
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::JournalRead, SystemErrorText(path_, error));
    }
    return scans;
}

std::uint64_t RecordJournal::Append(std::string_view records, bool sync) {
    Repair();
    AppendEnd end;
    const int error = AppendWhole(files_, path_, records, sync, end);
    if (end.bytesLeft) {
        repair_at_ = static_cast<std::uint64_t>(end.before);
    }
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, error));
    }
    size_ = static_cast<std::uint64_t>(end.before) + records.size();
    return static_cast<std::uint64_t>(end.before);
}

void RecordJournal::Repair() {
    if (repair_at_) {
        CutTornTail(*repair_at_);
        repair_at_.reset();
    }
}

void RecordJournal::CutTornTail(std::uint64_t wholeEnd) {
    const int fd = files_.OpenForAppend(path_, {.create = false, .followLinks = false});
    if (fd < 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, -fd));
    }
    int error = files_.Truncate(fd, static_cast<off_t>(wholeEnd));
    if (error == 0) {
        error = files_.SyncData(fd);
    }
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, error));
    }
    size_ = wholeEnd;
}

void RecordJournal::Compact(std::uint64_t from, const std::string& trailer) {
    const int fd = files_.OpenForRead(path_, false);
    if (fd < 0) {
        throw Failure(FailureCode::JournalRead, SystemErrorText(path_, -fd));
    }
    std::uint64_t at = from;
    bool trailerGiven = false;
    std::uint64_t written = 0;
    const int error = files_.ReplaceFile(path_, [&](std::string& piece) {
        piece.clear();
        if (at < size_) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(kReadPiece, size_ - at));
            if (const int readError = files_.ReadAt(fd, static_cast<off_t>(at), count, piece)) {
                return readError;
            }
            if (piece.empty()) {
                return EIO;  // the file is shorter than the program wrote it
            }
            at += piece.size();
        } else if (!trailerGiven) {
            piece = trailer;
            trailerGiven = true;
        }
        written += piece.size();
        return 0;
    });
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, error));
    }
    repair_at_.reset();
    size_ = written;
}

void RecordJournal::Clear() {
    const int fd = files_.OpenForAppend(path_, {.create = false, .followLinks = false});
    if (fd == -ENOENT) {
        return;
    }
    if (fd < 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, -fd));
    }
    int error = files_.Truncate(fd, 0);
    if (error == 0) {
        error = files_.SyncData(fd);
    }
    // Once synced, the change is on the disk whatever close says.
    (void)files_.Close(fd);
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, error));
    }
    repair_at_.reset();
    size_ = 0;
}

void RecordJournal::Rewrite(const FilePieces& pieces) {
    std::uint64_t written = 0;
    const int error = files_.ReplaceFile(path_, [&](std::string& piece) {
        const int pieceError = pieces(piece);
        written += piece.size();
        return pieceError;
    });
    if (error != 0) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(path_, error));
    }
    repair_at_.reset();
    size_ = written;
}

std::string RecordJournal::KeepAside(const std::string& suffix) {
    const std::string aside = path_ + suffix;
    if (const int error = files_.KeepCopy(path_, aside)) {
        throw Failure(FailureCode::JournalWrite, SystemErrorText(aside, error));
    }
    return aside;
}

std::string JournalPathFor(const std::string& settingsFile, const std::string& stateDir) {
    constexpr std::string_view kSettingsEnding = ".ini";
    std::string path = settingsFile;
    if (path.ends_with(kSettingsEnding)) {
        path.resize(path.size() - kSettingsEnding.size());
    }
    path += ".journal";
    if (stateDir.empty()) {
        return path;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    return stateDir.ends_with('/') ? stateDir + name : stateDir + "/" + name;
}

}  // namespace brisolant
