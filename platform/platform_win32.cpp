// The platform layer on the real Windows services.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/platform.h"
#include "platform/platform_system.h"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <winsock2.h> // and windows.h after it, as Windows Sockets needs

namespace platform {
namespace {

// A scaled wait in whole milliseconds, rounded up, so that a wait that is
// not zero never becomes a poll.
DWORD waitMilliseconds(std::uint32_t nominalMs) {
  const auto ms =
      std::chrono::ceil<std::chrono::milliseconds>(detail::scaled(nominalMs));
  return static_cast<DWORD>(ms.count());
}

} // namespace

bool startSockets() {
  WSADATA data;
  return WSAStartup(MAKEWORD(2, 0), &data) == 0;
}

void showErrorBox(const char *text, const char *caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

Event createEvent() {
  return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

void destroyEvent(Event event) {
  if (event != nullptr) CloseHandle(event);
}

void setEvent(Event event) {
  if (event != nullptr) SetEvent(event);
}

bool resetEvent(Event event) {
  return event != nullptr && ResetEvent(event) != 0;
}

WaitResult waitForEvent(Event event, std::uint32_t nominalMs) {
  if (event == nullptr) return WaitResult::Failed;
  switch (WaitForSingleObject(event, waitMilliseconds(nominalMs))) {
  case WAIT_OBJECT_0:
    return WaitResult::Signalled;
  case WAIT_TIMEOUT:
    return WaitResult::TimedOut;
  default:
    return WaitResult::Failed;
  }
}

bool consoleShowsUtf8() {
  return GetConsoleOutputCP() == CP_UTF8;
}

bool prepareConsoleOutput() {
  // Files and pipes take the code page 1250 bytes as they are. A console
  // shows them right once it is set to that code page; one that refuses is
  // judged by the code page it keeps.
  DWORD mode = 0;
  if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode)) return false;
  if (SetConsoleOutputCP(1250)) return false;
  return consoleShowsUtf8();
}

namespace detail {

void systemSleep(std::chrono::nanoseconds duration) {
  Sleep(static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(duration).count()));
}

std::tm systemLocalTime(std::time_t seconds) {
  std::tm local{};
  localtime_s(&local, &seconds);
  return local;
}

} // namespace detail

} // namespace platform
