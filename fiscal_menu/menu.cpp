#include "fiscal_menu/menu.h"

#include "fiscal_menu/runner.h"
#include "fiscal_menu/scenarios.h"
#include "platform/console.h"

#include <cstdint>

namespace fiscal_menu {

namespace {

void printMenu() {
  // "Choose an option and press ENTER"
  console::print("Wybierz opcj\xEA i naci\x9Cnij ENTER\n");
  console::print("(0) Zakoncz.\n");
  for (const MenuEntry &entry : menuEntries())
    console::print("%s", entry.text);
}

} // namespace

void runMenu(Device device) {
  // Filled by the queries only: a failed query leaves what the last one gave.
  std::int32_t globalStatus = 0;
  std::int32_t printerStatus = 0;
  for (;;) {
    printError(FPD_GetPrnDeviceStatus(device, 1, &globalStatus, &printerStatus));
    console::print("Status drukarki - Drukarka: %ld, Mechanizm: %ld\n",
                   static_cast<long>(globalStatus), static_cast<long>(printerStatus));
    printMenu();
    console::flush();

    std::int32_t selection = 0;
    const console::NumberRead read = console::readNumber(selection);
    if (read == console::NumberRead::NotANumber ||
        read == console::NumberRead::EndOfInput) {
      // Not a number: drop the rest of the line and show the menu again. At the
      // end of standard input no choice can come any more: leave as for 0.
      if (!console::discardBufferedInput()) return;
      continue;
    }
    // A number beyond 32 bits is no entry, like any other number above 19.
    if (read == console::NumberRead::OutOfRange) continue;
    if (selection == 0) return;
    const auto entries = menuEntries();
    if (selection >= 1 && selection <= static_cast<std::int32_t>(entries.size())) {
      entries[static_cast<std::size_t>(selection - 1)].run(device);
    }
  }
}

} // namespace fiscal_menu
