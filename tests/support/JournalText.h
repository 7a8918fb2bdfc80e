#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

#include "store/JournalFormat.h"

namespace brisolant::test {

// What a journal holds, texts and all.
struct JournalContents {
    std::deque<JournalScan> waiting;  // oldest first
    std::uint64_t lastSeq = 0;
    std::size_t damaged = 0;
    std::size_t overLimit = 0;
    bool earlierFormat = false;
};

// The scans of an index read from the journal's whole text, each read back from its record as
// the program reads a kept scan back when its turn comes.
JournalContents WithTexts(const JournalIndex& index, std::string_view text);

// A whole journal's text read as the program reads its file: in pieces, of an awkward size here
// so that records straddle them, then each kept scan read back.
JournalContents ReadJournalText(std::string_view text, std::size_t limit);

}  // namespace brisolant::test
