#pragma once

#include <string_view>

namespace brisolant {

// The status-panel text for a line event or error the port reported (any code but 1 and 2).
std::string_view LineEventText(int code);

}  // namespace brisolant
