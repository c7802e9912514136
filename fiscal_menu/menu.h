// The menu loop, the body of fiscal_menu.
#pragma once

#include "connection/talmer.h"

namespace fiscal_menu {

/// Shows the printer status and the menu, reads a choice and runs its entry,
/// until the operator chooses 0 or standard input ends.
void runMenu(Device device);

} // namespace fiscal_menu
