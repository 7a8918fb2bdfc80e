#pragma once

// Finds out whether a process has the terminal open, from the links in /proc/<pid>/fd.

#include <string>

namespace brisolant::station {

class StopSignals;

// True when the process has the path open; pid 0 asks about every process but this one.
bool IsOpenedBy(int pid, const std::string& path);

// Checks every 100 ms until the path is open. Returns false when stopped first or when the
// awaited process has ended.
bool WaitUntilOpened(int pid, const std::string& path, const StopSignals& signals);

}  // namespace brisolant::station
