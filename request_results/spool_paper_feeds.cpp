#include "request_results/spool_paper_feeds.h"

#include "platform/console.h"
#include "platform/platform.h"

namespace {

constexpr int kFeeds = 50;
constexpr int kFaultyIndex = 25; // the twenty-sixth carries "ln" = "100"
constexpr unsigned kPostPauseMs = 100;
constexpr unsigned kCompletionPauseMs = 10000;
constexpr unsigned kCommandSize = 128;

/// Posts the feeds, 100 ms apart, until one can't be created.
void postFeeds(Device device) {
  for (int index = 0; index < kFeeds; ++index) {
    Request hRequest = FPD_CreateRequest(device, "papfeed");
    if (!hRequest) {
      console::print("FPD_CreateRequest status: %d",
                     static_cast<int>(FPD_GetError(device)));
      return;
    }
    FPD_PushRequestParam(hRequest, "ln", index == kFaultyIndex ? "100" : "1");
    // Once posted the request is the library's; a refused post leaves it ours.
    if (FPD_PostRequest(hRequest, FPD_POST_SPOOLSPECIAL) != 0)
      FPD_DestroyRequest(hRequest);
    platform::sleepMs(kPostPauseMs);
  }
}

/// Reports one failed response: its number in the queue, its status with the
/// Polish text, and the command it carried.
void reportFailure(Request hRequest, int number, ErrorCode status) {
  const char *text = FPD_GetErrorString(status, "pl");
  // "Niewykonany %d - Status błędu: %d - %s\n"
  console::print("Niewykonany %d - Status b\xB3\xEA"
                 "du: %d - %s\n",
                 number, static_cast<int>(status), text ? text : "(brak opisu)");
  char bufor[kCommandSize];
  if (FPD_GetResponseValue(hRequest, "cm", bufor, kCommandSize) == 0)
    console::print("Polecenie: '%s' \n", bufor);
}

/// Reads the whole queue, until it gives no more responses. Only the
/// failures that it reports are destroyed here.
void readResponses(Device device) {
  int count = FPD_GetResponseCount(device);
  if (count == 0) return;
  console::print("Wykonano: %d\n", count);
  int number = 0;
  while (Request hRequest = FPD_GetNextResponse(device)) {
    ErrorCode status = FPD_GetRequestStatus(hRequest);
    ++number;
    if (status == 0 || status == FPD_STATUS_10004) continue;
    reportFailure(hRequest, number, status);
    FPD_DestroyRequest(hRequest);
  }
}

} // namespace

void spoolPaperFeeds(Device device) {
  // "Wysylamy 50 wysuniec papieru ( w tym 1 błędne )....\n"
  console::print("Wysylamy 50 wysuniec papieru ( w tym 1 b\xB3\xEA"
                 "dne )....\n");
  postFeeds(device);
  console::print("Czekamy na wykonanie\n");
  platform::sleepMs(kCompletionPauseMs);
  readResponses(device);
}
