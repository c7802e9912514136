// plain_receipt: the printer status, a pause, and one receipt, written out
// request by request. A step fails only when its request can't be created or
// its status is non-zero: the waits are not tested.
#include "connection/frame.h"
#include "platform/console.h"
#include "platform/platform.h"
#include "request_results/receipt_steps.h"

namespace {

constexpr unsigned kStatusPauseMs = 2000;

void body(DeviceHandle, Device device) {
  bool failed = true;
  Request hRequest = nullptr;
  // A status query that fails writes neither value: the pair stays 0, 0.
  int32_t globalStatus = 0;
  int32_t printerStatus = 0;
  FPD_GetPrnDeviceStatus(device, 1, &globalStatus, &printerStatus);
  console::print("Printer status D:%ld, P%ld\n", static_cast<long>(globalStatus),
                 static_cast<long>(printerStatus));
  platform::sleepMs(kStatusPauseMs);
  if (globalStatus != 0) {
    failed = false;
  } else {
    for (const receipt::Step &step : receipt::steps()) {
      hRequest = receipt::create(device, step);
      if (!hRequest) break;
      FPD_PostRequest(hRequest, FPD_POST_NORMAL);
      FPD_WaitForRequestCompleted(hRequest, receipt::kWaitMs);
      if (FPD_GetRequestStatus(hRequest) != 0) break;
      FPD_DestroyRequest(hRequest);
      hRequest = nullptr;
      if (&step == &receipt::steps().back()) failed = false;
    }
  }
  if (failed) {
    if (hRequest) FPD_DestroyRequest(hRequest);
    receipt::sendCancel(device);
  }
}

} // namespace

int main(int argc, char **argv) {
  return frame::run(argc, argv, body, frame::NotificationLevelBy::Frame);
}
