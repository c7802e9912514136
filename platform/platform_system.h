// What each system's platform file gives the shared part (platform_common.cpp)
// and what the shared part gives back: the time scale applied to a nominal
// time, and the system's own sleep and local time.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace platform::detail {

/// A nominal time in milliseconds divided by the time scale.
std::chrono::nanoseconds scaled(std::uint32_t nominalMs);

/// Sleeps for about the given time with the system's sleep.
void systemSleep(std::chrono::nanoseconds duration);

/// The local time of a calendar time.
std::tm systemLocalTime(std::time_t seconds);

} // namespace platform::detail
