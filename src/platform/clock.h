// The wall clock, behind an interface so that tests can fix the date and time.
#pragma once

namespace parlendo {

struct LocalTime {
    int year = 2000, month = 1, day = 1;  // day of the month, 1-31
    int hour = 0, minute = 0, second = 0, millisecond = 0;
    int dayOfWeek = 6;  // 0 = Sunday
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

class SystemClock final : public Clock {
public:
    LocalTime now() override;
};

// A clock that always says the same time, for tests.
class FixedClock final : public Clock {
public:
    explicit FixedClock(LocalTime t) : time_(t) {}
    LocalTime now() override { return time_; }
    void set(LocalTime t) { time_ = t; }

private:
    LocalTime time_;
};

}  // namespace parlendo
