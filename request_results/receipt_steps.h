// The receipt of one sale line and one payment, as a table of requests that
// request_results (printReceipt) and plain_receipt both send, and the cancel
// request that undoes a receipt broken off.
#pragma once

#include "connection/talmer.h"

#include <span>

namespace receipt {

struct Step {
  const char *name;
  /// ParamList for FPD_CreateRequestEx; null: FPD_CreateRequest, then the
  /// one parameter pushedKey = pushedValue is pushed.
  const char *paramList;
  const char *pushedKey;
  const char *pushedValue;
  /// Printed with FPD_GetError(device) when the request can't be created.
  const char *creationMessage;
};

/// "trinit", "trline", "trpayment", "trend", in this order.
std::span<const Step> steps();

/// Creates the step's request and pushes its parameter. When it can't be
/// created, prints the step's creation message (no line end) and returns
/// null.
Request create(Device device, const Step &step);

/// Sends "prncancel": create, post, wait up to 5000 ms, destroy, nothing
/// tested. When it can't be created, prints its creation message instead.
void sendCancel(Device device);

/// How long each request of the receipt is awaited.
constexpr unsigned kWaitMs = 5000;

} // namespace receipt
