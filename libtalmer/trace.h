// The call trace (TALMER_SIM_TRACE): one line a library call, appended and
// flushed, in the format of docs/virtual-printer.md.
#pragma once

#include "libtalmer/inside.h"

#include <cstdint>
#include <string>

namespace talmer::trace {

/// True when TALMER_SIM_TRACE names a file (read once per process).
bool enabled();

/// Appends one line (without its line feed) and flushes it.
void writeLine(const std::string &line);

/// A code page 1250 text as a quoted UTF-8 text with escapes; "null" for null.
std::string quote(const char *text);
std::string quote(const std::string &text);

/// FPD_PARAM_... by name, else the id in hexadecimal.
std::string paramName(std::uint32_t id);
/// FPD_POST_... by name, else the number.
std::string postModeName(std::int32_t mode);
/// FPD_EVENTS_... by name, else the number.
std::string eventModeName(std::int32_t mode);

} // namespace talmer::trace
