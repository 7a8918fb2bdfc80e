#pragma once

#include <string>
#include <string_view>

namespace brisolant {

// Text as a person can read it in a message or a log line: control bytes (a barcode's GS, an
// ESC, a NUL a settings file holds) as "\x1d", so that none splits, hides or cuts the line.
std::string EscapedControls(std::string_view text);

}  // namespace brisolant
