// The printer model: what the virtual fiscal printer does with a request.
// It knows the requests, checks their keys, keeps the fiscal state (receipts,
// totals, reports, VAT rates, header and footer, clock), prints the paper
// roll and keeps fiscal memory between runs.
//
// The engine owns one Printer and calls it from its worker thread, always
// under the engine's lock: a Printer needs no lock of its own and never
// sleeps. How long the paper takes to move is returned, not waited for.
#pragma once

#include "engine/inside.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace talmer {

struct Field {
  std::string name;
  std::string value; ///< code page 1250
};
using Fields = std::vector<Field>;

/// A request as the printer receives it: its name and its parameters in the
/// order given (ParamList first, then pushed ones).
struct Command {
  std::string name;
  Fields params;
};

/// The printer's answer.
struct Outcome {
  std::int32_t status = 0;     ///< 0, kDoneWithWarning, or a refusal code
  Fields fields;               ///< response fields in order; on a refusal
                               ///< they include "cm" = the request's name
  std::uint32_t nominalMs = 0; ///< how long the printer is busy with it
};

/// The status pair of FPD_GetPrnDeviceStatus.
struct StatusPair {
  std::int32_t global = 0;
  std::int32_t printer = 0;
};

/// The lines of one printout as they reach the paper, UTF-8.
using PrintoutLines = std::vector<std::string>;

struct PrinterOptions {
  std::string paperPath; ///< the paper roll file; empty: none
  std::string statePath; ///< the fiscal memory file; empty: memory in process
  /// Where the paths come from, for messages ("TALMER_PAPER", "--paper").
  std::string paperOrigin = "TALMER_PAPER";
  std::string stateOrigin = "TALMER_SIM_STATE";
  /// Called with each printout once it is on the paper (may be empty).
  std::function<void(const PrintoutLines &)> onPrintout;
  /// Writes a line about what went wrong and what is done instead.
  std::function<void(const std::string &)> warn;
};

class PrinterStatus;
struct FiscalMemory;

class Printer {
public:
  /// True for every request name the printer understands.
  static bool knowsRequest(std::string_view name);

  /// Switches the printer on: takes its memory file for itself and loads
  /// the fiscal memory. Returns null and sets *error to a status code
  /// (kPrinterBusy, kStateFileDamaged, ...) when it can't. The status of the
  /// paper and the cover, which refuse printing, is read from status.
  static std::unique_ptr<Printer>
  open(const PrinterOptions &options, const PrinterStatus &status, std::int32_t *error);

  virtual ~Printer() = default;

  /// Carries out one request.
  virtual Outcome execute(const Command &command) = 0;

  /// The fiscal memory as it is now.
  virtual const FiscalMemory &memory() const = 0;
};

} // namespace talmer
