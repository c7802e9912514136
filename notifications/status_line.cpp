#include "notifications/status_line.h"

#include "platform/console.h"

#include <cstdio>

namespace notifications {

void printStatusLine(std::int32_t d, std::int32_t p) {
  char line[64];
  std::snprintf(line, sizeof line, "Printer status D: %ld, P: %ld",
                static_cast<long>(d), static_cast<long>(p));
  console::writeLine(line);
}

} // namespace notifications
