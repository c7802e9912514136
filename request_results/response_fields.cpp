#include "request_results/response_fields.h"

#include "platform/console.h"

namespace {

constexpr unsigned kWaitMs = 5000;
constexpr unsigned kValueSize = 250;
constexpr unsigned kNameSize = 16;

/// Creates, posts and awaits the request; returns it when it completed with
/// status 0. Otherwise returns null, having printed the creation message or
/// destroyed the request.
Request completed(Device device, const char *name) {
  Request hRequest = FPD_CreateRequest(device, name);
  if (!hRequest) {
    console::print("FPD_CreateRequest status: %d",
                   static_cast<int>(FPD_GetError(device)));
    return nullptr;
  }
  FPD_PostRequest(hRequest, FPD_POST_NORMAL);
  if (FPD_WaitForRequestCompleted(hRequest, kWaitMs) != 0 ||
      FPD_GetRequestStatus(hRequest) != 0) {
    FPD_DestroyRequest(hRequest);
    return nullptr;
  }
  return hRequest;
}

} // namespace

void readDateByGet(Device device) {
  Request hRequest = completed(device, "rtcget");
  if (!hRequest) return;
  char value[kValueSize];
  if (FPD_GetResponseValue(hRequest, "da", value, kValueSize) == 0)
    // "Pobrano datę z urządzenia: %s\n"
    console::print("Pobrano dat\xEA z urz\xB9"
                   "dzenia: %s\n",
                   value);
  else
    console::print("Brak pola daty w wyniku rozkazu\n");
  FPD_DestroyRequest(hRequest);
}

void readVatByPop(Device device) {
  Request hRequest = completed(device, "vatget");
  if (!hRequest) return;
  int count = FPD_GetResponseValueCount(hRequest);
  if (count != 0) {
    // "Odebrano wyniki, %d pól\n"
    console::print("Odebrano wyniki, %d p\xF3l\n", count);
    char valueName[kNameSize];
    char value[kValueSize];
    // Bounded by the response: each successful pop takes its pair off.
    while (FPD_PopResponseValue(hRequest, valueName, value, kValueSize) == 0)
      // "Pobrano pole: '%s', o wartości '%s'\n"
      console::print("Pobrano pole: '%s', o warto\x9C"
                     "ci '%s'\n",
                     valueName, value);
  }
  FPD_DestroyRequest(hRequest);
}
