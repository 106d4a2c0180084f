#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace velm {

DateTime SystemClock::now() const
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto since_second =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    return DateTime{local.tm_year + 1900,
                    local.tm_mon + 1,
                    local.tm_mday,
                    local.tm_hour,
                    local.tm_min,
                    local.tm_sec,
                    static_cast<int>(since_second / 10)};
}

}  // namespace velm
