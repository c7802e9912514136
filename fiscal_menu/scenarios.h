// The nineteen entries of the menu: each runs its scenario(s) on the open
// device and returns nothing; failures have been printed on the way.
#pragma once

#include "connection/talmer.h"

#include <span>

namespace fiscal_menu {

/// A line of the menu and what choosing it runs.
struct MenuEntry {
  const char *text; ///< the menu line, with its number and line feed
  void (*run)(Device device);
};

/// Entries 1 to 19, in menu order.
std::span<const MenuEntry> menuEntries();

} // namespace fiscal_menu
