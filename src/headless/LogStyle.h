#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/LogPriority.h"

namespace brisolant {

// How the program's lines on standard error are laid out. On a terminal or in a file each
// begins with the local time. When standard error is the systemd journal, which stamps every
// line itself, each begins with its priority ("<4>") instead, and the journal files the line
// under it: "journalctl -p warning" then shows the faults alone.
struct LogStyle {
    bool journal = false;

    // "<3>" in the journal, nothing elsewhere.
    std::string Prefix(LogPriority priority) const;
};

// Whether JOURNAL_STREAM's "device:inode" names the stream with this device and inode, as
// systemd sets it for a service whose output goes to the journal. A stream passed on to another
// program, or redirected, no longer matches.
bool JournalStreamNames(std::string_view journalStream, std::uint64_t device, std::uint64_t inode);

// The style of the program's standard error, as JOURNAL_STREAM and the stream itself say.
LogStyle ErrorStreamStyle();

}  // namespace brisolant
