#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace brisolant {

// What the framing knows of the station's scan layout. A scan opens with its line of dashes
// and then its first label:
//     "     --------------------------" CR LF "     Device Number:      1" CR LF ...
// The line of dashes ends in hyphens right before its CR LF; spaces may stand before the label.

// Where each opening in the text begins: the first hyphen of its run of dashes.
std::vector<std::size_t> ScanOpenings(std::string_view text);

// Whether the text begins, after spaces, with an opening.
bool BeginsWithScanOpening(std::string_view text);

// Whether the text holds any character scans are written in: printable ASCII, the space
// included. Control bytes, line ends and bytes above 126 alone are line noise.
bool HoldsScanText(std::string_view text);

}  // namespace brisolant
