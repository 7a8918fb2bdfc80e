#pragma once

#include <chrono>
#include <string>

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
    // A time that only goes forward, for how long something lasted.
    virtual std::chrono::steady_clock::time_point Steady() const = 0;
};

// "2026-12-10 19:15:00+01:00": the local time with the offset from UTC that the machine's time
// zone gives it, so that a reader elsewhere knows the moment.
std::string TimestampWithOffset(const LocalDateTime& local);

// The machine's local clock.
class SystemClock : public Clock {
  public:
    LocalDateTime Now() const override;
    std::chrono::steady_clock::time_point Steady() const override {
        return std::chrono::steady_clock::now();
    }
};

}  // namespace brisolant
