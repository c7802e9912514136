// Runs a built program as a person or a script would: arguments, standard
// input, the virtual printer's script, the time scale; then gives back the
// exit code, the exact bytes of standard output and the trace of library
// calls.
//
// Standard output is a pipe, or a pseudo-terminal when the run asks for one
// (a terminal that passes the bytes as they stand, with no CR before LF).
//
// The programs are looked for in TALMER_E2E_BINDIR (default: this build's
// bin folder). TALMER_E2E_RUNNER, when set, is put before the program (for
// example "wine" for the Windows build) and TALMER_E2E_EXE_SUFFIX after its
// name (".exe"); the output's CR LF line ends are then read as LF.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace e2e {

struct Run {
  std::string program; ///< "fiscal_menu", ...
  std::vector<std::string> args;
  std::string input;  ///< standard input; closed after it
  std::string script; ///< the virtual printer's script, UTF-8
  /// More variables, or ours replaced. One that the harness sets itself
  /// (TALMER_SIM_TRACE, TALMER_SIM_TIMESCALE, TALMER_SIM_SCRIPT) is then given
  /// this value instead: a trace named here is not read back into
  /// Result::trace.
  std::vector<std::pair<std::string, std::string>> env;
  std::vector<std::string> unset; ///< variables of ours that the program doesn't get
  bool onTerminal = false;        ///< standard output a pseudo-terminal, not a pipe
  unsigned timeScale = 1000;      ///< TALMER_SIM_TIMESCALE, unless env gives it
  double timeoutSeconds = 60;     ///< real seconds before the run is killed
};

struct Result {
  int exitCode = -1;              ///< -1 when killed by a signal or the time-out
  std::string out;                ///< standard output: code page 1250 bytes
  std::string err;                ///< standard error
  std::vector<std::string> trace; ///< library calls, one a line (UTF-8)
  double seconds = 0;             ///< real time the run took
};

/// Runs the program to its end: its input given, then closed.
Result run(const Run &run);

/// A program started and left running, for tests that talk to it while it
/// runs: they write its input bit by bit and wait for what it prints.
class Process {
public:
  /// Starts the program; run.input is its first input, and standard input
  /// stays open until closeInput() or finish().
  explicit Process(const Run &run);
  /// Kills the program if it still runs.
  ~Process();
  Process(const Process &) = delete;
  Process &operator=(const Process &) = delete;

  void write(std::string_view text);
  void closeInput();
  /// Waits until standard output holds text, for up to the given real time.
  /// False when the time ran out or the program ended without printing it.
  bool waitForOutput(std::string_view text, double seconds = 30);
  /// Standard output so far.
  std::string output() const;
  /// Closes standard input and waits for the end (up to the run's time-out).
  Result finish();
  /// Kills the program at once (SIGKILL to its process group).
  void kill();
  int pid() const;

private:
  struct Inner;
  std::unique_ptr<Inner> inner_;
};

/// True when the programs under test are the Windows build (TALMER_E2E_EXE_SUFFIX
/// is ".exe", for example under Wine). Tests of the POSIX stand-ins, such as
/// TALMER_SIM_SOCKETS=fail, skip there: that build calls the real services.
bool windowsBuild();

/// A UTF-8 literal as the code page 1250 bytes that the programs print.
std::string cp1250(std::string_view utf8);

/// The trace lines that start with one of the given function names, for
/// comparing the part of a trace that a test is about.
std::vector<std::string> callsOf(const Result &result,
                                 const std::vector<std::string> &functions);

/// Lines of text, for readable comparisons of output.
std::vector<std::string> lines(std::string_view text);

} // namespace e2e
