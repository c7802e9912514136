// talmer_printer's command line.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace talmer::printer {

struct Options {
  std::string listen = "127.0.0.1:0"; ///< the link's address
  std::string panel = "127.0.0.1:0";  ///< the panel's and the API's
  std::string state;                  ///< the fiscal memory file; empty: in memory
  std::string paper;                  ///< the paper roll file; empty: none
  std::string script;                 ///< the faults known beforehand
  std::string serial = "COM1,9600,8,N,1,H"; ///< or "auto": any valid line
  std::string usb = "VP0001";
  std::uint32_t timescale = 1;
};

/// Reads the command line. Returns -1 to go on, else the exit code: 0 after
/// the help (on out), 2 after bad arguments (the reason and the usage on err).
int parseOptions(int argc, const char *const *argv, Options *options, std::ostream &out,
                 std::ostream &err);

} // namespace talmer::printer
