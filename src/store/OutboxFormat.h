#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "store/CentralRecord.h"

namespace brisolant {

// What an outbox holds once read.
struct OutboxIndex {
    std::deque<CentralRecord> waiting;  // kept and not known to be committed, oldest first
    std::uint64_t nextSeq = 1;          // the number the next record gets
    std::size_t damaged = 0;            // damaged stretches skipped
};

// The outbox of records for the site's database is a sequence of lines, each a record with a
// check of its contents, in the journal's manner (JournalFormat.h):
//   R<check> <seq> <count> <length>... <field>...   a record kept, its `count` fields in order
//   C<check> <seq>                                  every record up to seq is committed
//   N<check> <seq>                                  the next record gets seq or more
// The check is 8 hex digits of FNV-1a over the letter and everything after the blank that
// follows the check. A reader takes the fields it knows and skips any that a later program
// adds behind them.
std::string OutboxRecordText(const CentralRecord& record);
std::string OutboxCommittedText(std::uint64_t seq);
std::string OutboxNextText(std::uint64_t seq);

// Reads an outbox's bytes: whole records are taken, a damaged stretch is skipped up to the next
// line whose record holds.
OutboxIndex ParseOutbox(std::string_view text);

}  // namespace brisolant
