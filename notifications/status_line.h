// The status line that both notification programs print.
#pragma once

#include <cstdint>

namespace notifications {

/// Writes "Printer status D: <d>, P: <p>" and a line feed in one piece and
/// flushes, so that a line printed from the library's thread stays whole.
void printStatusLine(std::int32_t d, std::int32_t p);

} // namespace notifications
