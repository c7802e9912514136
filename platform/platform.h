// The operating-system services that the programs and the virtual printer
// use, behind plain functions. One implementation per system:
// platform_posix.cpp (stand-ins for the Windows services) and
// platform_win32.cpp (the real ones).
#pragma once

#include <cstdint>
#include <ctime>

namespace platform {

/// Starts Windows Sockets, version 2.0. True on success. The POSIX stand-in
/// fails when the environment variable TALMER_SIM_SOCKETS is "fail".
bool startSockets();

/// Shows a message box with an OK button (MessageBoxA, MB_OK). The POSIX
/// stand-in writes "caption: text" and a line feed to standard error.
void showErrorBox(const char *text, const char *caption);

/// The largest time scale.
constexpr std::uint32_t kMaxTimeScale = 1000000;

/// The time scale N of TALMER_SIM_TIMESCALE (a whole number from 1 to
/// kMaxTimeScale, default 1): every pause and wait lasts 1/N of its nominal
/// time. Read once; another value counts as 1 (the device library says so).
std::uint32_t timeScale();

/// A time scale's text: unset or empty is 1. False for anything but a whole
/// number from 1 to kMaxTimeScale, which gives 1.
bool parseTimeScale(const char *text, std::uint32_t *scale);

/// Sleeps for a nominal number of milliseconds, scaled. Pauses shorter than
/// the system can sleep are added up and slept together, so that many short
/// pauses still take their scaled total and no more.
void sleepMs(std::uint32_t nominalMs);

/// An event object: manual reset, signalled on status changes. On Windows a
/// Win32 event HANDLE.
using Event = void *;

enum class WaitResult { Signalled, TimedOut, Failed };

Event createEvent();
void destroyEvent(Event event);
void setEvent(Event event);
/// ResetEvent. False for a null event.
bool resetEvent(Event event);
/// WaitForSingleObject with a nominal time-out, scaled. A null event fails at
/// once.
WaitResult waitForEvent(Event event, std::uint32_t nominalMs);

/// Whether the console's character set is UTF-8, wherever standard output
/// goes. POSIX: the character set (nl_langinfo CODESET) of the locale that
/// the environment names for LC_CTYPE, read as setlocale(LC_CTYPE, "") reads
/// it (LC_ALL, then LC_CTYPE, then LANG; empty ones count as unset), without
/// changing the program's own locale; no locale, or one that the system
/// doesn't have, is not UTF-8. Windows: the console's output code page is
/// UTF-8 (65001).
bool consoleShowsUtf8();

/// Prepares standard output for code page 1250 text. True when the text must
/// be shown as UTF-8 instead: standard output is a console (a terminal) whose
/// character set is UTF-8. A Windows console is set to code page 1250 and
/// takes the bytes as they are; into a file or a pipe they pass unchanged.
bool prepareConsoleOutput();

/// The local time now (localtime of the current calendar time). The
/// environment variable TALMER_SIM_LOCALTIME ("YYYY-MM-DD HH:MM:SS") fixes
/// it, so that tests see a known time.
std::tm localTimeNow();

} // namespace platform
