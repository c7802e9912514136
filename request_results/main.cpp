// request_results: the printer status, then, with the printer ready, four
// sections: spooled requests with the response queue, a response field read
// by name, all fields popped, and a receipt cancelled when a step fails.
#include "connection/frame.h"
#include "platform/console.h"
#include "request_results/print_receipt.h"
#include "request_results/response_fields.h"
#include "request_results/spool_paper_feeds.h"

namespace {

struct Section {
  const char *title;
  void (*run)(Device device);
};

const Section kSections[] = {
    {"SPOOLSPECIAL - wyslij-zapomnij z obsluga bledow\n", spoolPaperFeeds},
    // "Pobranie daty, metoda GET wyników\n"
    {"Pobranie daty, metoda GET wynik\xF3w\n", readDateByGet},
    // "Pobranie stawek VAT, metoda POP wszystkich pól\n"
    {"Pobranie stawek VAT, metoda POP wszystkich p\xF3l\n", readVatByPop},
    {"Drukowanie paragonu\n", printReceipt},
};

constexpr const char *kBanner = "*****************************************\n";

void body(DeviceHandle, Device device) {
  // A status query that fails writes neither value: the pair stays 0, 0.
  int32_t globalStatus = 0;
  int32_t printerStatus = 0;
  FPD_GetPrnDeviceStatus(device, 1, &globalStatus, &printerStatus);
  console::print("Printer status D:%ld, P%ld\n", static_cast<long>(globalStatus),
                 static_cast<long>(printerStatus));
  if (globalStatus != 0) return;
  for (const Section &section : kSections) {
    console::print("%s%s%s", kBanner, section.title, kBanner);
    section.run(device);
  }
}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Frame);
}
