// POSIX stand-ins for the Windows services, for building and testing on Linux.
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/platform.h"

namespace platform {
namespace {

using Nanoseconds = std::chrono::nanoseconds;

struct PosixEvent {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

bool environmentIs(const char *name, const char *value) {
  const char *set = std::getenv(name);
  return set != nullptr && std::strcmp(set, value) == 0;
}

Nanoseconds scaled(std::uint32_t nominalMs) {
  return Nanoseconds(static_cast<std::int64_t>(nominalMs) * 1000000 / timeScale());
}

bool containsUtf8(const char *text) {
  return text != nullptr && (std::strstr(text, "UTF-8") || std::strstr(text, "utf8") ||
                             std::strstr(text, "utf-8") || std::strstr(text, "UTF8"));
}

} // namespace

bool startSockets() { return !environmentIs("TALMER_SIM_SOCKETS", "fail"); }

void showErrorBox(const char *text, const char *caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

std::uint32_t timeScale() {
  static const std::uint32_t scale = [] {
    const char *text = std::getenv("TALMER_SIM_TIMESCALE");
    if (text == nullptr)
      return 1u;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return end != text && *end == '\0' && value >= 1 && value <= 1000000
               ? static_cast<std::uint32_t>(value)
               : 1u;
  }();
  return scale;
}

void sleepMs(std::uint32_t nominalMs) {
  // What is owed is slept once it reaches a millisecond; oversleeping is
  // credited to the next pauses.
  thread_local Nanoseconds owed{0};
  owed += scaled(nominalMs);
  if (owed < std::chrono::milliseconds(1))
    return;
  const auto start = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(owed);
  owed -= std::chrono::steady_clock::now() - start;
}

Event createEvent() { return new PosixEvent; }

void destroyEvent(Event event) { delete static_cast<PosixEvent *>(event); }

void setEvent(Event event) {
  if (event == nullptr)
    return;
  auto *e = static_cast<PosixEvent *>(event);
  std::lock_guard lock(e->mutex);
  e->signalled = true;
  e->changed.notify_all();
}

bool resetEvent(Event event) {
  if (event == nullptr)
    return false;
  auto *e = static_cast<PosixEvent *>(event);
  std::lock_guard lock(e->mutex);
  e->signalled = false;
  return true;
}

WaitResult waitForEvent(Event event, std::uint32_t nominalMs) {
  if (event == nullptr)
    return WaitResult::Failed;
  auto *e = static_cast<PosixEvent *>(event);
  std::unique_lock lock(e->mutex);
  const bool signalled =
      e->changed.wait_for(lock, scaled(nominalMs), [e] { return e->signalled; });
  return signalled ? WaitResult::Signalled : WaitResult::TimedOut;
}

bool prepareConsoleOutput() {
  if (!isatty(STDOUT_FILENO))
    return false;
  for (const char *name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    const char *value = std::getenv(name);
    if (value != nullptr && *value != '\0')
      return containsUtf8(value);
  }
  return false;
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
  const std::time_t seconds = std::time(nullptr);
  localtime_r(&seconds, &now);
  return now;
}

} // namespace platform
