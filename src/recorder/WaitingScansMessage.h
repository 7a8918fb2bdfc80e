#pragma once

#include <string>

#include "store/RecordWriter.h"

namespace brisolant {

// What the program says when it ends with scans not in their files; empty when none is.
std::string WaitingScansMessage(const StopOutcome& outcome);

}  // namespace brisolant
