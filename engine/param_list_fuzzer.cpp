// Fuzzes the ParamList parser: a list it takes apart is the same text when
// its fields are joined again.
#include "engine/text_checks.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  const std::string_view list(reinterpret_cast<const char *>(data), size);
  const std::optional<talmer::Fields> fields = talmer::parseParamList(list);
  if (!fields) return 0;
  std::string joined;
  for (std::size_t i = 0; i < fields->size(); ++i) {
    const talmer::Field &f = (*fields)[i];
    if (f.name.empty()) __builtin_trap();
    joined += (i > 0 ? "\n" : "") + f.name + "," + f.value;
  }
  if (joined != list) __builtin_trap();
  return 0;
}
