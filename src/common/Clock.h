#pragma once

namespace brisolant {

// A local date and time of day, as the wall clock shows it.
struct LocalDateTime {
    int year = 2000;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;   // 0 to 23
    int minute = 0;
    int second = 0;
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalDateTime Now() const = 0;
};

// The machine's local clock.
class SystemClock : public Clock {
  public:
    LocalDateTime Now() const override;
};

}  // namespace brisolant
