#include "talmer_printer/options.h"

#include "engine/text_checks.h"
#include "platform/platform.h"
#include "platform/socket.h"

#include <CLI/CLI.hpp>
#include <ostream>

namespace talmer::printer {
namespace {

std::string address(const std::string &text) {
  std::string host;
  std::uint16_t port = 0;
  return platform::splitAddress(text, &host, &port)
             ? std::string()
             : "HOST:PORT, for example 127.0.0.1:0, not \"" + text + "\"";
}

} // namespace

int parseOptions(int argc, const char *const *argv, Options *options, std::ostream &out,
                 std::ostream &err) {
  CLI::App app{"The virtual fiscal printer as a device of its own: programs reach it "
               "with TALMER_PRINTER=HOST:PORT (the link), a person through the panel "
               "in a browser.",
               "talmer_printer"};
  app.get_formatter()->column_width(26);
  app.add_option("--listen", options->listen, "the link's address (port 0: a free one)")
      ->check(CLI::Validator(address, "HOST:PORT"))
      ->capture_default_str();
  app.add_option("--panel", options->panel, "the panel's and the HTTP API's address")
      ->check(CLI::Validator(address, "HOST:PORT"))
      ->capture_default_str();
  app.add_option("--state", options->state, "the fiscal memory file, kept across runs");
  app.add_option("--paper", options->paper, "the paper roll file, appended to");
  app.add_option("--script", options->script, "a script of faults known beforehand")
      ->check(CLI::ExistingFile);
  app.add_option("--serial", options->serial,
                 "the printer's own serial settings, or auto: it follows the program's")
      ->check(CLI::Validator(
          [](const std::string &text) {
            return text == "auto" || validSerialSettings(text)
                       ? std::string()
                       : "port,baud,databits,parity,stopbits,flow or auto";
          },
          "SETTINGS"))
      ->capture_default_str();
  app.add_option("--usb", options->usb, "the printer's USB serial number")
      ->capture_default_str();
  app.add_option("--timescale", options->timescale,
                 "every pause and wait lasts 1/N of its nominal time")
      ->check(CLI::Range(1u, platform::kMaxTimeScale))
      ->capture_default_str();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &) {
    out << app.help();
    return 0;
  } catch (const CLI::ParseError &e) {
    err << "talmer_printer: " << e.what() << "\n" << app.help();
    return 2;
  }
  return -1;
}

} // namespace talmer::printer
