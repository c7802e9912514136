// Frames as a program, or anything else that connects, may send them to the
// printer process: after an OPEN, each one is carried to the engine or
// refused as breaking the protocol; none crashes the printer, and every
// answer is a frame that reads back.
#include "engine/engine.h"
#include "link/frame.h"
#include "talmer_printer/event_hub.h"
#include "talmer_printer/link_dispatch.h"
#include "talmer_printer/printer_host.h"

#include <cstddef>
#include <cstdint>

namespace {

using namespace talmer;

/// One printer for the whole run, switched on once: every input is a new
/// program's connection to it.
struct FuzzedPrinter {
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  printer::EventHub events;
  std::shared_ptr<Engine> engine;
  std::unique_ptr<printer::PrinterHost> host;

  FuzzedPrinter() {
    EngineConfig config;
    config.clock = clock;
    std::int32_t error = 0;
    engine = Engine::start(config, &error);
    printer::Options options;
    options.timescale = 1000000;
    host = std::make_unique<printer::PrinterHost>(engine, clock, options, events, "");
  }
};

FuzzedPrinter &printerOfTheRun() {
  static FuzzedPrinter printer;
  return printer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  FuzzedPrinter &p = printerOfTheRun();
  printer::LinkDispatch dispatch(*p.host, [](std::uint32_t) {});
  link::FrameReader reader;
  link::Frame open;
  open.verb = "OPEN";
  open.seq = 1;
  open.add("type", 1)
      .add("com", "COM1,9600,8,N,1,H")
      .add("usb", "")
      .add("program", "fuzz");
  reader.feed(link::encode(open));
  reader.feed(std::string_view(reinterpret_cast<const char *>(data), size));
  while (std::optional<link::Frame> frame = reader.next()) {
    // Waits are cut short: the fuzzer's time is real.
    for (auto &[key, value] : frame->fields)
      if (key == "ms" && value.size() > 3) value = "100";
    bool ok = true;
    std::string error;
    const std::optional<link::Frame> answer = dispatch.handle(*frame, 0, &ok, &error);
    if (!ok) break;
    if (answer) {
      link::FrameReader back;
      back.feed(link::encode(*answer));
      if (!back.next()) __builtin_trap();
    }
  }
  dispatch.closeSession();
  return 0;
}
