#pragma once

#include <string>
#include <string_view>

namespace brisolant {

// A text as a person can read it in a message or a report: control bytes (a NUL a file holds,
// a barcode's group separator) as \xNN, every other byte as it is.
std::string Printable(std::string_view text);

}  // namespace brisolant
