// The part of the platform layer that is the same on every system: the time
// scale, the carry of short pauses and the fixed local time of the tests.
#include "platform/platform.h"
#include "platform/platform_system.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace platform {

namespace detail {

PausePlan planPause(std::chrono::nanoseconds owed, std::chrono::nanoseconds own) {
  using std::chrono::nanoseconds;
  if (own >= std::chrono::milliseconds(1))
    return {own + std::max(owed, nanoseconds(0)), std::min(owed, nanoseconds(0))};
  owed += own;
  if (owed < std::chrono::milliseconds(1)) return {nanoseconds(0), owed};
  return {owed, nanoseconds(0)};
}

std::chrono::nanoseconds scaled(std::uint32_t nominalMs) {
  return std::chrono::nanoseconds(static_cast<std::int64_t>(nominalMs) * 1000000 /
                                  timeScale());
}

} // namespace detail

bool parseTimeScale(const char *text, std::uint32_t *scale) {
  if (text == nullptr || *text == '\0') {
    *scale = 1;
    return true;
  }
  std::uint64_t value = 0;
  const char *c = text;
  for (; *c >= '0' && *c <= '9' && value <= kMaxTimeScale; ++c)
    value = value * 10 + static_cast<std::uint64_t>(*c - '0');
  const bool valid = *c == '\0' && value >= 1 && value <= kMaxTimeScale;
  *scale = valid ? static_cast<std::uint32_t>(value) : 1;
  return valid;
}

std::uint32_t timeScale() {
  static const std::uint32_t scale = [] {
    std::uint32_t value = 1;
    parseTimeScale(std::getenv("TALMER_SIM_TIMESCALE"), &value);
    return value;
  }();
  return scale;
}

void sleepMs(std::uint32_t nominalMs) {
  thread_local std::chrono::nanoseconds owed{0};
  const detail::PausePlan plan = detail::planPause(owed, detail::scaled(nominalMs));
  owed = plan.owedAfter;
  if (plan.sleep == std::chrono::nanoseconds(0)) return;
  const auto start = std::chrono::steady_clock::now();
  detail::systemSleep(plan.sleep);
  owed -= (std::chrono::steady_clock::now() - start) - plan.sleep; // the oversleep
}

std::tm localTimeNow() {
  std::tm now{};
  if (const char *fixed = std::getenv("TALMER_SIM_LOCALTIME")) {
    if (std::sscanf(fixed, "%d-%d-%d %d:%d:%d", &now.tm_year, &now.tm_mon, &now.tm_mday,
                    &now.tm_hour, &now.tm_min, &now.tm_sec) == 6) {
      now.tm_year -= 1900;
      now.tm_mon -= 1;
      now.tm_isdst = -1;
      return now;
    }
  }
  return detail::systemLocalTime(std::time(nullptr));
}

} // namespace platform
