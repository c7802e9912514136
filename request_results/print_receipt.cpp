#include "request_results/print_receipt.h"

#include "request_results/receipt_steps.h"

namespace {

/// Sends the steps in order, each created, posted, awaited, its status read
/// and destroyed. Returns true when the last one has been destroyed; on a
/// failure returns false with the failed step's request, if any, in hRequest.
bool sendSteps(Device device, Request &hRequest) {
  for (const receipt::Step &step : receipt::steps()) {
    hRequest = receipt::create(device, step);
    if (!hRequest) return false;
    FPD_PostRequest(hRequest, FPD_POST_NORMAL);
    if (FPD_WaitForRequestCompleted(hRequest, receipt::kWaitMs) != 0) return false;
    if (FPD_GetRequestStatus(hRequest) != 0) return false;
    FPD_DestroyRequest(hRequest);
    hRequest = nullptr;
  }
  return true;
}

} // namespace

void printReceipt(Device device) {
  bool failed = true;
  Request hRequest = nullptr;
  if (sendSteps(device, hRequest)) failed = false;
  if (!failed) return;
  if (hRequest) FPD_DestroyRequest(hRequest);
  receipt::sendCancel(device);
}
