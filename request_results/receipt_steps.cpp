#include "request_results/receipt_steps.h"

#include "platform/console.h"

namespace receipt {
namespace {

constexpr const char *kCreateMessage = "FPD_CreateRequest status: %d";
constexpr const char *kCreateExMessage = "FPD_CreateRequestEx status: %d";

constexpr Step kSteps[] = {
    {"trinit", nullptr, "bm", "1", kCreateMessage},
    // "na,Bułka Standardowa\nvt,0\npr,35"
    {"trline",
     "na,Bu\xB3"
     "ka Standardowa\nvt,0\npr,35",
     nullptr, nullptr, kCreateExMessage},
    {"trpayment", "ty,0\nre,0\nwa,35", nullptr, nullptr, kCreateExMessage},
    {"trend", "to,35\nfp,35", nullptr, nullptr, kCreateExMessage},
};

void printCreationFailure(const char *message, Device device) {
  // The message is a format with one %d for the device's error code.
  console::print(message, static_cast<int>(FPD_GetError(device)));
}

} // namespace

std::span<const Step> steps() {
  return kSteps;
}

Request create(Device device, const Step &step) {
  Request request = step.paramList
                        ? FPD_CreateRequestEx(device, step.name, step.paramList)
                        : FPD_CreateRequest(device, step.name);
  if (!request) {
    printCreationFailure(step.creationMessage, device);
    return nullptr;
  }
  if (step.pushedKey) FPD_PushRequestParam(request, step.pushedKey, step.pushedValue);
  return request;
}

void sendCancel(Device device) {
  Request request = FPD_CreateRequest(device, "prncancel");
  if (!request) {
    // Nothing to post: say so, since the printer keeps the receipt open.
    printCreationFailure(kCreateMessage, device);
    return;
  }
  FPD_PostRequest(request, FPD_POST_NORMAL);
  FPD_WaitForRequestCompleted(request, kWaitMs);
  FPD_DestroyRequest(request);
}

} // namespace receipt
