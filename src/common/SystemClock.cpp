#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "common/Clock.h"

namespace brisolant {

LocalDateTime SystemClock::Now() const {
    std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string TimestampWithOffset(const LocalDateTime& local) {
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;  // the zone's rules decide, as they did for the clock
    long offset = 0;
    if (std::mktime(&fields) != static_cast<std::time_t>(-1)) {
        offset = fields.tm_gmtoff;
    }
    const long minutes = std::labs(offset) / 60;
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d%c%02ld:%02ld", local.year,
                  local.month, local.day, local.hour, local.minute, local.second,
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

}  // namespace brisolant
