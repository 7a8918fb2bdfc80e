#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/FileLayer.h"
#include "store/JournalFormat.h"

namespace brisolant {

// The program's own file of scans on their way to their data files, so that they outlive the
// program's end and a crash. Every change is appended and synced before it counts; the file is
// emptied once nothing waits. It is never reached through a symbolic link, whose target would
// be somebody else's file.
class RecordJournal {
  public:
    RecordJournal(FileLayer& files, std::string path);

    const std::string& path() const { return path_; }

    // Reads the journal in pieces of bounded size; a missing journal holds nothing. Throws
    // Failure(JournalRead) when it cannot be read.
    JournalIndex Load(std::size_t limit);
    // Reads the kept scans' records back, in pieces of bounded size: each scan in the order
    // asked for, or nothing where its record is no longer whole. Throws Failure(JournalRead).
    std::vector<std::optional<JournalScan>> ReadBack(const std::vector<JournalEntry>& entries);

    // Each throws Failure(JournalWrite) when the change cannot be made durable; a torn append
    // is taken back, so that it cannot hide the next one (should that fail, the next change
    // takes it back first). Append returns where the records begin in the journal; a mark whose
    // loss costs nothing but a look at the data file or a record sent again needs no sync.
    std::uint64_t Append(std::string_view records, bool sync = true);
    void Clear();
    // Takes back what an unfinished append left behind `wholeEnd`.
    void CutTornTail(std::uint64_t wholeEnd);
    // Puts the records that `pieces` hands out in place of everything the journal holds, at one
    // stroke.
    void Rewrite(const FilePieces& pieces);
    // Keeps only what begins at `from`, followed by `trailer`, at one stroke: what came before
    // `from` is of no more use.
    void Compact(std::uint64_t from, const std::string& trailer);
    // The journal's size as far as the program wrote it.
    std::uint64_t Size() const { return size_; }
    // Keeps the journal as it is now under its name followed by `suffix`, and returns that name.
    std::string KeepAside(const std::string& suffix);

  private:
    void Repair();

    FileLayer& files_;
    std::string path_;
    std::uint64_t size_ = 0;
    // Where a failed append that could not be cut off began: the journal is cut back there
    // before anything else is appended.
    std::optional<std::uint64_t> repair_at_;
};

// The journal lives beside the settings file, named after it: "Orvane.ini" keeps its waiting
// scans in "Orvane.journal". Wherever the settings file is, the journal follows, away from the
// data folder whose loss it bridges. A state folder, when given, holds it instead (a service
// keeps its settings in /etc and its journal in /var/lib).
std::string JournalPathFor(const std::string& settingsFile, const std::string& stateDir = {});

}  // namespace brisolant
