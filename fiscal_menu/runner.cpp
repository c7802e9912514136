#include "fiscal_menu/runner.h"

#include "platform/console.h"

#include <cstdint>
#include <cstdio>

namespace fiscal_menu {

namespace {

constexpr std::uint32_t kWaitSliceMs = 10000;
constexpr std::uint32_t kCancelWaitMs = 5000;

/// Reads the operator's answer, one character at a time: T waits again, N
/// gives up, anything else is passed over without repeating the prompt. The
/// end of standard input counts as N.
bool operatorWantsToWait() {
  console::flush();
  for (;;) {
    char answer = 0;
    if (std::scanf("%c", &answer) != 1) {
      if (!console::discardBufferedInput()) return false;
      continue;
    }
    if (answer == 'T' || answer == 't') return true;
    if (answer == 'N' || answer == 'n') return false;
  }
}

Request create(Device device, const Step &step) {
  if (step.creation == Creation::Plain) {
    return FPD_CreateRequest(device, step.name.c_str());
  }
  return FPD_CreateRequestEx(device, step.name.c_str(), step.paramList.c_str());
}

/// One step from creation to destruction; false when it failed.
bool runStep(Device device, const Step &step) {
  Request hRequest = create(device, step);
  if (hRequest == nullptr) {
    printError(FPD_GetError(device));
    return false;
  }
  for (const PushedParam &param : step.pushed) {
    FPD_PushRequestParam(hRequest, param.key.c_str(), param.value.c_str());
  }
  const bool completed = printError(FPD_PostRequest(hRequest, FPD_POST_NORMAL)) == 0 &&
                         waitWithPrompt(hRequest, device) &&
                         printError(FPD_GetRequestStatus(hRequest)) == 0;
  FPD_DestroyRequest(hRequest);
  return completed;
}

} // namespace

ErrorCode printError(ErrorCode code) {
  if (code == 0) return code;
  const char *description = FPD_GetErrorString(code, "pl");
  // "Błąd: %d - %s\n" (error: code - description); "(brak opisu)": no description
  console::print("B\xB3\xB9"
                 "d: %d - %s\n",
                 static_cast<int>(code),
                 description != nullptr ? description : "(brak opisu)");
  return code;
}

bool waitWithPrompt(Request hRequest, Device device) {
  for (;;) {
    const ErrorCode result = FPD_WaitForRequestCompleted(hRequest, kWaitSliceMs);
    if (result == 0) return true;
    if (result != FPD_WAIT_NO_RESPONSE) {
      printError(result);
      return false;
    }
    std::int32_t globalStatus = 0;
    std::int32_t printerStatus = 0;
    printError(FPD_GetPrnDeviceStatus(device, 1, &globalStatus, &printerStatus));
    console::print("Status drukarki - Drukarka: %ld, Mechanizm: %ld\n",
                   static_cast<long>(globalStatus), static_cast<long>(printerStatus));
    // "No answer to the request, keep waiting? (T/N + ENTER)"
    console::print(
        "Nie otrzymano odpowiedzi na polecenie, czy czeka\xE6 dalej (T/N + ENTER)\n");
    if (!operatorWantsToWait()) return false;
  }
}

void runScenario(Device device, const Scenario &scenario) {
  for (const Step &step : scenario.steps) {
    if (!runStep(device, step)) {
      if (scenario.cancelOnFailure) sendCancel(device);
      return;
    }
  }
}

void sendCancel(Device device) {
  Request hRequest = FPD_CreateRequest(device, "prncancel");
  if (hRequest == nullptr) {
    printError(FPD_GetError(device));
    return;
  }
  printError(FPD_PostRequest(hRequest, FPD_POST_NORMAL));
  printError(FPD_WaitForRequestCompleted(hRequest, kCancelWaitMs));
  FPD_DestroyRequest(hRequest);
}

} // namespace fiscal_menu
