// What each system's platform file gives the shared part (platform_common.cpp)
// and what the shared part gives back: the time scale applied to a nominal
// time, and the system's own sleep and local time.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace platform::detail {

/// What a pause sleeps, and what is owed after it (negative: a credit for
/// oversleeping).
struct PausePlan {
  std::chrono::nanoseconds sleep;
  std::chrono::nanoseconds owedAfter;
};

/// Short pauses (under a millisecond, scaled) are owed and slept together
/// once they reach a millisecond; a credit for oversleeping shortens them.
/// A pause of a millisecond or more sleeps at least its own time, whatever
/// the credit, so that what a program waits for has had its time.
PausePlan planPause(std::chrono::nanoseconds owed, std::chrono::nanoseconds own);

/// A nominal time in milliseconds divided by the time scale.
std::chrono::nanoseconds scaled(std::uint32_t nominalMs);

/// Sleeps for about the given time with the system's sleep.
void systemSleep(std::chrono::nanoseconds duration);

/// The local time of a calendar time.
std::tm systemLocalTime(std::time_t seconds);

} // namespace platform::detail
