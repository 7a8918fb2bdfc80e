#pragma once

#include <string>
#include <string_view>

#include "common/Clock.h"
#include "common/LocaleFormat.h"
#include "scan/ScanRecord.h"
#include "store/CentralRecord.h"

namespace brisolant {

// The record of a scan for the site's database: the values as the window shows them (parsed
// and converted), as numbers with their units where the scan gave them, the arrival time, the
// operator's text and the record line as written. Station and number are the writer's to give.
CentralRecord CentralFields(const ScanRecord& shown, const LocalDateTime& arrived,
                            std::string_view operatorText, std::string line,
                            const LocaleFormat& locale);

}  // namespace brisolant
