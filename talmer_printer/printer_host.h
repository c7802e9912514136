// The printer process's printer: the engine switched on for the process's
// life, the cable between it and the programs, who is connected, the paper
// roll so far, and what the panels are told of it.
#pragma once

#include "engine/engine.h"
#include "talmer_printer/event_hub.h"
#include "talmer_printer/options.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

namespace talmer::printer {

/// JSON text; what isn't UTF-8 (a command line's bytes) is replaced, never
/// thrown about.
std::string jsonText(const nlohmann::json &json);

/// A line on the process's standard error, after "talmer_printer: ".
void say(const std::string &text);

/// Why a script isn't the printer's: a directive of it belongs to the
/// program's own script (the library's); empty when it is the printer's.
std::string notThePrinters(const Script &script);

class PrinterHost {
public:
  /// The end of the roll that the panels are given, in bytes.
  static constexpr std::size_t kRollBytes = 1 << 20;

  /// The roll begins with what the paper roll file already held.
  PrinterHost(std::shared_ptr<Engine> engine, std::shared_ptr<Clock> clock,
              Options options, EventHub &events, const std::string &rollSoFar);
  ~PrinterHost();
  PrinterHost(const PrinterHost &) = delete;
  PrinterHost &operator=(const PrinterHost &) = delete;

  Engine &engine() { return *engine_; }
  Clock &clock() { return *clock_; }
  const Options &options() const { return options_; }

  // The cable. While it is out nothing crosses it; the connections wait.
  bool plugged() const;
  void setPlugged(bool plugged);
  /// Waits until the cable is in or done() holds; true when it is in.
  bool waitPlugged(const std::function<bool()> &done);
  /// Wakes those who wait for the cable, to look at done() again.
  void wake();

  /// A program opened the printer, or closed it (the link says which).
  void connected(const std::string &program);
  void disconnected();
  /// A call as it arrives, for the panels.
  void called(const std::string &call);

  /// GET /api/state.
  nlohmann::json state();
  /// GET /api/roll: the paper roll so far, UTF-8.
  std::string roll() const;

  /// The addresses the process listens on, for the state.
  void setAddresses(std::string link, std::string panel);

private:
  void printed(const PrintoutLines &lines);
  void changed();
  void publishStates();

  const std::shared_ptr<Engine> engine_;
  const std::shared_ptr<Clock> clock_;
  const Options options_;
  EventHub &events_;

  mutable std::mutex mutex_;
  std::condition_variable cable_;
  bool plugged_ = true;
  std::string program_; ///< the connected program's name, or empty
  bool connected_ = false;
  std::deque<std::string> roll_;
  std::size_t rollBytes_ = 0;
  std::deque<std::string> calls_;
  std::string linkAddress_, panelAddress_;

  std::condition_variable dirty_;
  bool changed_ = false;
  bool stopping_ = false;
  std::thread publisher_;
};

} // namespace talmer::printer
