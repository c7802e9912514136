// status_event: waits on the library's event object for status changes and
// prints the printer status after each signal, or a waiting line after each
// quiet second; 180 passes in all.
#include "connection/frame.h"
#include "connection/talmer.h"
#include "notifications/status_line.h"
#include "platform/console.h"
#include "platform/platform.h"

#include <cstdint>

namespace {

const int kPasses = 180;
const unsigned kWaitMs = 1000;

/// One pass: a status line when the event comes, else the waiting line.
void pass(Device device, platform::Event event, std::int32_t &globalStatus,
          std::int32_t &printerStatus) {
  if (platform::waitForEvent(event, kWaitMs) != platform::WaitResult::Signalled) {
    // "Oczekuje ..... " ("Waiting ..... "), trailing blank included.
    console::writeLine("Oczekuje ..... ");
    return;
  }
  // Reset before reading: a change after the reset signals the next pass.
  platform::resetEvent(event);
  FPD_GetPrnDeviceStatus(device, 1, &globalStatus, &printerStatus);
  notifications::printStatusLine(globalStatus, printerStatus);
}

void body(DeviceHandle handle, Device device) {
  FPD_SetEventHandlingMode(device, FPD_EVENTS_EVENT_OBJECT);
  platform::Event event = FPD_GetEvent(device);
  frame::setNotificationLevel(handle);
  // Shown as they are if a failed query never fills them.
  std::int32_t globalStatus = 0;
  std::int32_t printerStatus = 0;
  int counter = kPasses;
  while (counter-- != 0)
    pass(device, event, globalStatus, printerStatus);
}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Body);
}
