#pragma once

namespace brisolant {

// The weight of a log line, as the sd-daemon priorities number them: faults that lose scans or
// hold them back, a device away or a line in trouble, records and ordinary status.
enum class LogPriority : int { Error = 3, Warning = 4, Info = 6 };

}  // namespace brisolant
