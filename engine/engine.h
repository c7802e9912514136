// The virtual printer's engine: the printer switched on, serving one program
// at a time. It carries out the requests of that program's session on a worker
// thread of its own, on a nominal clock, as a printer works through its
// queue; it keeps the printer model (fiscal rules, fiscal memory, paper roll),
// the paper and the cover, and the script's faults, timed from when each
// script was given.
//
// The device library switches an engine on for each device it opens
// (embedded); the printer process keeps one on for its whole life and lets
// the programs connect to it one after another.
#pragma once

#include "engine/clock.h"
#include "engine/fiscal_memory.h"
#include "engine/inside.h"
#include "engine/printer.h"
#include "engine/script.h"
#include "engine/session.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace talmer {

/// What an engine is switched on with.
struct EngineConfig {
  PrinterOptions printer;               ///< paper roll, memory file, messages
  std::shared_ptr<const Script> script; ///< the faults known beforehand
  std::shared_ptr<Clock> clock;         ///< the nominal clock
  /// The printer's own serial settings: a program's must agree in baud, data
  /// bits, parity and stop bits, or the printer doesn't answer. Unset: any
  /// valid settings reach it (the embedded printer).
  std::optional<std::string> serialSettings;
  /// The printer's USB serial numbers ("VP0001;VP0042"); a script's
  /// usb-devices replaces them.
  std::string usbSerials = "VP0001";
};

/// How a program reaches the printer (the DeviceHandle's settings).
struct PortSettings {
  std::int32_t type = 1; ///< FPD_DEVICE_SERIAL or FPD_DEVICE_USB
  std::string comSettings;
  std::string usbSerial;
};

/// What an observer of the whole printer is told (the printer process's
/// panel): each printout, each change of the status. Called under the
/// engine's lock: an observer returns quickly and never calls the engine.
struct EngineObserver {
  std::function<void(const PrintoutLines &)> printed;
  std::function<void(StatusPair)> statusChanged;
};

/// What the printer shows of itself, for the panel.
struct EngineSnapshot {
  bool paperOut = false;
  bool coverOpen = false;
  StatusPair status;
  bool connected = false;
  FiscalMemory memory;
};

class Engine : public std::enable_shared_from_this<Engine> {
public:
  /// Switches the printer on: loads its memory and starts its worker. Null
  /// with *error set when it can't (kPrinterBusy, kStateFileDamaged, ...).
  static std::shared_ptr<Engine> start(EngineConfig config, std::int32_t *error);

  ~Engine();
  Engine(const Engine &) = delete;
  Engine &operator=(const Engine &) = delete;

  /// A program opens the printer. Fails with *error set: kPrinterBusy while
  /// another session is open, kBadSerialSettings, kPrinterNotAnswering for
  /// serial settings that don't match the printer's, kUsbDeviceNotFound, or
  /// the script's "open fail". The session's own script (may be null) adds
  /// its rules to the printer's for this session; its timed changes count
  /// from now. The listener hears every status change from the start.
  std::unique_ptr<Session> connect(const PortSettings &port,
                                   std::shared_ptr<const Script> sessionScript,
                                   StatusListener listener, std::int32_t *error);

  // The printer's own controls, as a person works them.
  void setPaperOut(bool out);
  void setCoverOpen(bool open);
  /// Adds a script's directives from now on: its rules for the requests to
  /// come, its timed changes counting from now.
  void applyScript(const Script &script);

  void setObserver(EngineObserver observer);
  EngineSnapshot snapshot();

  /// Stops the worker and switches the printer off; a session still open
  /// fails every call from then on. Idempotent; the destructor calls it.
  void stop();

  struct State; ///< the engine's inside, shared with its sessions

private:
  explicit Engine(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};

/// The serial settings' baud, data bits, parity and stop bits agree.
bool sameLine(const std::string &a, const std::string &b);

/// Why a program can't reach the printer through its port, or nothing: the
/// script's "open fail" (the session's over the printer's), serial settings
/// that aren't valid or don't match the printer's own, a USB serial number
/// that isn't the printer's. The embedded printer asks before it is even
/// switched on; Engine::connect asks again.
std::optional<std::int32_t> portRefusal(const EngineConfig &config,
                                        const Script &printerScript,
                                        const Script *sessionScript,
                                        const PortSettings &port);

} // namespace talmer
