// POSIX stand-ins for the Windows services, for building and testing on Linux.
#include "platform/platform.h"
#include "platform/platform_system.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <langinfo.h>
#include <locale.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

struct PosixEvent {
  std::mutex mutex;
  std::condition_variable changed;
  bool signalled = false;
};

bool environmentIs(const char *name, const char *value) {
  const char *set = std::getenv(name);
  return set != nullptr && std::strcmp(set, value) == 0;
}

} // namespace

bool startSockets() {
  return !environmentIs("TALMER_SIM_SOCKETS", "fail");
}

void showErrorBox(const char *text, const char *caption) {
  std::fprintf(stderr, "%s: %s\n", caption, text);
  std::fflush(stderr);
}

Event createEvent() {
  return new PosixEvent;
}

void destroyEvent(Event event) {
  delete static_cast<PosixEvent *>(event);
}

void setEvent(Event event) {
  if (event == nullptr) return;
  auto *e = static_cast<PosixEvent *>(event);
  std::lock_guard lock(e->mutex);
  e->signalled = true;
  e->changed.notify_all();
}

bool resetEvent(Event event) {
  if (event == nullptr) return false;
  auto *e = static_cast<PosixEvent *>(event);
  std::lock_guard lock(e->mutex);
  e->signalled = false;
  return true;
}

WaitResult waitForEvent(Event event, std::uint32_t nominalMs) {
  if (event == nullptr) return WaitResult::Failed;
  auto *e = static_cast<PosixEvent *>(event);
  std::unique_lock lock(e->mutex);
  const bool signalled = e->changed.wait_for(lock, detail::scaled(nominalMs),
                                             [e] { return e->signalled; });
  return signalled ? WaitResult::Signalled : WaitResult::TimedOut;
}

bool consoleShowsUtf8() {
  // A locale object of its own, made from the environment as setlocale(LC_CTYPE,
  // "") would: the program's locale, under which its formatted reads and
  // writes work, stays "C", also for other threads meanwhile.
  const locale_t terminal = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
  if (terminal == static_cast<locale_t>(0)) return false;
  const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, terminal), "UTF-8") == 0;
  freelocale(terminal);
  return utf8;
}

bool prepareConsoleOutput() {
  return isatty(STDOUT_FILENO) && consoleShowsUtf8();
}

namespace detail {

void systemSleep(std::chrono::nanoseconds duration) {
  std::this_thread::sleep_for(duration);
}

std::tm systemLocalTime(std::time_t seconds) {
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

} // namespace detail

} // namespace platform
