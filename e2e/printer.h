// A talmer_printer started for a test, on free ports (0), and stopped when it
// goes. It is always this build's own Linux program, also when the programs
// under test are the Windows build: they reach it over the link.
//
// With TALMER_E2E_PRINTER=1 every run of the harness gets a printer of its
// own and reaches it with TALMER_PRINTER, so that the whole suite runs over
// the link as it runs embedded.
#pragma once

#include <string>
#include <vector>

namespace e2e {

class Printer {
public:
  /// Starts it with --listen and --panel on 127.0.0.1:0, --timescale and
  /// the given arguments, and waits for its two start-up lines.
  explicit Printer(std::vector<std::string> args = {}, unsigned timeScale = 1000);
  /// Stops it with SIGTERM if it still runs.
  ~Printer();
  Printer(const Printer &) = delete;
  Printer &operator=(const Printer &) = delete;

  bool started() const { return !link_.empty(); }
  /// "127.0.0.1:PORT", for TALMER_PRINTER.
  const std::string &link() const { return link_; }
  /// "127.0.0.1:PORT" of the panel and the HTTP API.
  const std::string &panel() const { return panel_; }

  /// SIGTERM, and the exit code (-1 when it ended by a signal).
  int stop();
  /// SIGKILL, at once.
  void kill();
  /// What it wrote on standard error so far.
  std::string errors() const;

private:
  int pid_ = -1;
  bool ended_ = false;
  int exitCode_ = -1;
  std::string link_, panel_;
  std::string errorsPath_;
};

/// True when the suite runs over the link (TALMER_E2E_PRINTER=1).
bool overLink();

} // namespace e2e
