// Fuzzes the script parser: any text is a script or a list of its bad
// lines, each named by its number.
#include "engine/script.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char *>(data), size);
  const talmer::ParsedScript parsed = talmer::parseScript(text);
  for (const std::string &error : parsed.errors)
    if (error.rfind("line ", 0) != 0) __builtin_trap();
  return 0;
}
