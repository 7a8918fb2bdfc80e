#pragma once

#include <string_view>

#include "common/LogPriority.h"

namespace brisolant {

// The status-panel text for a line event or error the port reported (any code but 1 and 2).
std::string_view LineEventText(int code);
// Events of the modem lines that tell of a station switched on or off or a cable moved are
// news; errors on the line are trouble.
LogPriority LineEventPriority(int code);

}  // namespace brisolant
