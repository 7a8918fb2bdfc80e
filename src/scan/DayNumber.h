#pragma once

#include "common/Clock.h"

namespace brisolant {

bool IsLeapYear(int year);

// The number of the date within its year, 1 for 1 January.
int DayNumber(const LocalDateTime& date);

// The calendar day before `date` (time of day kept).
LocalDateTime PreviousDay(const LocalDateTime& date);

}  // namespace brisolant
