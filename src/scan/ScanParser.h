#pragma once

#include <string_view>

#include "scan/ScanRecord.h"

namespace brisolant {

// Cuts the eight labelled values ("Device Number:" to "Barcode:") out of a scan text into the
// record. A missing label leaves its field blank. Throws Failure (ScanLineEndMissing when no
// CR LF follows a value start, ScanTooLong for positions beyond 32,767).
void ParseScanText(std::string_view text, ScanRecord& record);

}  // namespace brisolant
