#include "scan/DayNumber.h"

namespace brisolant {

namespace {

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && IsLeapYear(year)) {
        return 29;
    }
    return kDays[month - 1];
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DayNumber(const LocalDateTime& date) {
    int number = date.day;
    for (int month = 1; month < date.month; ++month) {
        number += DaysInMonth(date.year, month);
    }
    return number;
}

LocalDateTime PreviousDay(const LocalDateTime& date) {
    LocalDateTime previous = date;
    if (previous.day > 1) {
        --previous.day;
    } else if (previous.month > 1) {
        --previous.month;
        previous.day = DaysInMonth(previous.year, previous.month);
    } else {
        --previous.year;
        previous.month = 12;
        previous.day = 31;
    }
    return previous;
}

}  // namespace brisolant
