// Fuzzes the fiscal memory loader, with the input as a whole file and as a
// file's lines sealed with their checksum (so that it gets past the
// checksum). A memory it takes is written back to the same memory, and a
// printer with it carries out a day's requests without a sanitizer report,
// keeping after each only what it would read back.
#include "engine/fiscal_memory.h"
#include "engine/printer_model.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using talmer::Command;

const Command kDay[] = {
    {"rtcget", {}},
    {"vatget", {}},
    {"trinit", {{"bm", "0"}}},
    {"trline", {{"na", "Towar A"}, {"vt", "0"}, {"pr", "999999999"}}},
    {"trend", {{"to", "999999999"}}},
    {"trinit", {{"bm", "0"}}},
    {"trline", {{"na", "Towar B"}, {"vt", "1"}, {"pr", "100"}}},
    {"prncancel", {}},
    {"trfvinit", {{"nb", "1"}, {"ni", "1234567890"}, {"na", "X"}}},
    {"trline", {{"na", "Towar G"}, {"vt", "6"}, {"pr", "5"}}},
    {"trend", {{"to", "5"}}},
    {"dailyrep", {}},
    {"periodicrepbydates", {{"fd", "1970-01-01"}, {"td", "2099-12-31"}}},
    {"vatset", {{"va", "22"}}},
    {"rtcset", {{"da", "2099-12-31,23:59"}}},
    {"rtcget", {}},
};

void check(const std::string &text) {
  talmer::FiscalMemory memory;
  if (!talmer::parseMemory(text, &memory)) return;
  const std::string written = talmer::serializeMemory(memory);
  talmer::FiscalMemory again;
  if (!talmer::parseMemory(written, &again) || !(again == memory)) __builtin_trap();
  const talmer::PrinterStatus ready;
  talmer::Model printer({}, ready, memory, written, nullptr);
  for (const Command &command : kDay) {
    printer.execute(command);
    if (!talmer::parseMemory(talmer::serializeMemory(printer.memory()), &again))
      __builtin_trap();
  }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  setenv("TALMER_SIM_LOCALTIME", "2010-01-01 16:09:30", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string text(reinterpret_cast<const char *>(data), size);
  check(text);
  check(talmer::sealMemory(text));
  return 0;
}
