// The printer model: what the virtual fiscal printer does with a request.
// It knows the requests, checks their keys, keeps the fiscal state (receipts,
// totals, reports, VAT rates, header and footer, clock), prints the paper
// roll and keeps fiscal memory between runs.
//
// The device layer (device.cpp) owns one Printer per open device and calls it
// from its worker thread and from the caller's thread, always under the
// device's lock: a Printer needs no lock of its own and never sleeps. How
// long the paper takes to move is returned, not waited for.
#pragma once

#include "engine/inside.h"

#include <cstdint>
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

struct PrinterOptions {
  std::string paperPath; ///< TALMER_PAPER, empty: no paper roll file
  std::string statePath; ///< TALMER_SIM_STATE, empty: memory lives in process
};

class Printer {
public:
  /// True for every request name the printer understands.
  static bool knowsRequest(std::string_view name);

  /// Opens the printer: loads fiscal memory. Returns null and sets *error to
  /// a status code (kStateFileDamaged, ...) when it can't.
  static std::unique_ptr<Printer> open(const PrinterOptions &options,
                                       std::int32_t *error);

  virtual ~Printer() = default;

  /// Carries out one request.
  virtual Outcome execute(const Command &command) = 0;

  /// The status pair now: 0, 0 for a ready printer; bits for paper out and
  /// cover open (docs/virtual-printer.md).
  virtual StatusPair status() const = 0;

  /// Faults of the paper and the cover, set by the script at nominal times.
  virtual void setPaperOut(bool out) = 0;
  virtual void setCoverOpen(bool open) = 0;
};

} // namespace talmer
