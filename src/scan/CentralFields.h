#pragma once

#include <string>
#include <string_view>

#include "common/Clock.h"
#include "scan/ScanRecord.h"
#include "store/CentralRecord.h"

namespace brisolant {

// The record of a scan for the site's database: the numbers as the conversion read or made
// them, each with its unit and only where it was read, the arrival time, the operator's text
// and the record line as written. Station and number are the writer's to give.
CentralRecord CentralFields(const ScanRecord& scan, const LocalDateTime& arrived,
                            std::string_view operatorText, std::string line);

}  // namespace brisolant
