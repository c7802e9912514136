// talmer_printer: the virtual fiscal printer as a device of its own. It prints
// the link's address and the panel's, serves them until SIGINT or SIGTERM, and
// ends with its fiscal memory kept (exit 0). Bad arguments: the usage on
// standard error, exit 2; a printer that can't be switched on or an address
// that can't be had: a line on standard error, exit 1.
#include "engine/engine.h"
#include "engine/status_codes.h"
#include "platform/cp1250.h"
#include "talmer_printer/event_hub.h"
#include "talmer_printer/link_server.h"
#include "talmer_printer/options.h"
#include "talmer_printer/panel_server.h"
#include "talmer_printer/printer_host.h"

#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <pthread.h>

namespace {

using namespace talmer;
using namespace talmer::printer;

/// The end of the paper roll file, from a line's start, for the panel.
std::string rollTail(const std::string &path) {
  if (path.empty()) return std::string();
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return std::string();
  const std::streamoff size = file.tellg();
  constexpr auto kTail = static_cast<std::streamoff>(PrinterHost::kRollBytes);
  const std::streamoff from = size > kTail ? size - kTail : 0;
  file.seekg(from);
  std::string text(static_cast<std::size_t>(size - from), '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (from > 0) text.erase(0, text.find('\n') + 1);
  return text;
}

std::string describe(std::int32_t code) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%x", static_cast<unsigned>(code));
  const char *text = describeStatus(code);
  return std::string(hex) + (text ? " " + cp1250::toUtf8(text) : std::string());
}

} // namespace

int main(int argc, char **argv) {
  // The signals that end the printer are taken by this thread alone, in turn,
  // so every thread started below inherits the mask.
  sigset_t ending;
  sigemptyset(&ending);
  sigaddset(&ending, SIGINT);
  sigaddset(&ending, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &ending, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  Options options;
  if (const int exit = parseOptions(argc, argv, &options, std::cout, std::cerr);
      exit >= 0)
    return exit;

  EngineConfig config;
  if (!options.script.empty()) {
    std::vector<std::string> errors;
    config.script = loadScript(options.script, &errors);
    if (!config.script) {
      for (const std::string &error : errors)
        std::cerr << "talmer_printer: --script " << options.script << ": " << error
                  << "\n";
      return 2;
    }
    if (const std::string why = notThePrinters(*config.script); !why.empty()) {
      std::cerr << "talmer_printer: --script " << options.script << ": " << why << "\n";
      return 2;
    }
  }
  config.printer.paperPath = options.paper;
  config.printer.statePath = options.state;
  config.printer.paperOrigin = "--paper";
  config.printer.stateOrigin = "--state";
  config.printer.warn = say;
  auto clock = makeScaledClock(options.timescale);
  config.clock = clock;
  // "auto": the printer finds the speed and framing of any valid line.
  if (options.serial != "auto") config.serialSettings = options.serial;
  config.usbSerials = options.usb;
  std::int32_t error = kOk;
  std::shared_ptr<Engine> engine = Engine::start(config, &error);
  if (!engine) {
    say("the printer can't be switched on: " + describe(error));
    return 1;
  }

  EventHub events;
  int exit = 0;
  {
    PrinterHost host(engine, clock, options, events, rollTail(options.paper));
    LinkServer link(host);
    PanelServer panel(host, events);
    std::string linkAddress, panelAddress;
    if (!link.listen(options.listen, &linkAddress)) {
      say("the link can't listen on " + options.listen);
      exit = 1;
    } else if (!panel.listen(options.panel, &panelAddress)) {
      say("the panel can't listen on " + options.panel);
      exit = 1;
    } else {
      host.setAddresses(linkAddress, panelAddress);
      std::cout << "link " << linkAddress << "\npanel http://" << panelAddress << "/"
                << std::endl;
      int signal = 0;
      sigwait(&ending, &signal);
    }
    panel.stop();
    link.stop();
  }
  engine->stop(); // the memory is kept after every request; this lets it go
  return exit;
}
