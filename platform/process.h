// What a process knows of itself.
#pragma once

#include <string>

namespace platform {

/// The running program's file name without its folder ("fiscal_menu"), or
/// empty when the system doesn't tell.
std::string programName();

} // namespace platform
