// status_callback: prints a status line for every status change that the
// library reports through its notification function, for three minutes.
#include "connection/frame.h"
#include "connection/talmer.h"
#include "notifications/status_line.h"
#include "platform/platform.h"

#include <cstdint>

namespace {

/// 18000 pauses of 10 ms: three minutes nominally.
const int kPauses = 18000;
const unsigned kPauseMs = 10;

/// Runs on a thread of the library. The global status is in the high 16
/// bits, the printer status in the low 16; neither half is sign-extended.
void onPrinterStatus(std::uint32_t value) {
  const auto d = static_cast<std::int32_t>(value >> 16);
  const auto p = static_cast<std::int32_t>(value & 0xFFFFu);
  notifications::printStatusLine(d, p);
}

void body(DeviceHandle handle, Device device) {
  frame::setNotificationLevel(handle);
  FPD_SetEventHandlingMode(device, FPD_EVENTS_CALLBACK);
  FPD_SetCallback(device, onPrinterStatus);
  // The main thread only sleeps; the notification lines are the only output.
  int counter = kPauses;
  while (counter-- != 0)
    platform::sleepMs(kPauseMs);
}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Body);
}
