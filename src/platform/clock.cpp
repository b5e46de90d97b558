// The system clock in local time.
#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace parlendo {

LocalTime SystemClock::now() {
    using namespace std::chrono;
    auto tp = system_clock::now();
    std::time_t secs = system_clock::to_time_t(tp);
    std::tm tm{};
    localtime_r(&secs, &tm);
    LocalTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.millisecond = static_cast<int>(duration_cast<milliseconds>(tp.time_since_epoch()).count() % 1000);
    t.dayOfWeek = tm.tm_wday;
    return t;
}

}  // namespace parlendo
