// The environment of the virtual printer, read in this one place: the
// variables of docs/virtual-printer.md, taken at each FPD_CreateDeviceHandle
// into a record that the handle keeps (the trace file is opened once).
#pragma once

#include "libtalmer/inside.h"

#include <cstdint>
#include <string>

namespace talmer {

struct Environment {
  std::string scriptPath;      ///< TALMER_SIM_SCRIPT
  std::string paperPath;       ///< TALMER_PAPER
  std::string statePath;       ///< TALMER_SIM_STATE
  std::string printerAddress;  ///< TALMER_PRINTER: HOST:PORT of a printer process
  std::uint32_t timeScale = 1; ///< TALMER_SIM_TIMESCALE, as the platform reads it
};

Environment readEnvironment();

/// TALMER_SIM_TRACE: the trace file, or empty.
std::string tracePath();

/// A line on standard error, "libtalmer: " and the text.
void warn(const std::string &text);

} // namespace talmer
