#pragma once

#include <string>

#include "common/Failure.h"
#include "headless/LogStyle.h"

namespace brisolant {

// A failure that loses a scan or holds scans back from their file is an error; one of the device,
// the line or the settings is a warning.
LogPriority FailurePriority(FailureCode code);

// The priority of a text of panel 1: a failure's ("Status: 126 ..."), a line event's, or the
// line's own ("Not getting Correct Data"); info for the rest.
LogPriority StatusPriority(const std::string& statusText);

}  // namespace brisolant
