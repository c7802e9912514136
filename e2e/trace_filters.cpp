#include "e2e/trace_filters.h"

namespace e2e {
namespace {

const std::vector<std::string> kSteps = {
    "FPD_CreateRequest", "FPD_CreateRequestEx",         "FPD_PushRequestParam",
    "FPD_PostRequest",   "FPD_WaitForRequestCompleted", "FPD_GetRequestStatus",
    "FPD_DestroyRequest"};

const std::vector<std::string> kResponses = {
    "FPD_GetResponseValue", "FPD_GetResponseValueCount", "FPD_PopResponseValue",
    "FPD_GetResponseCount", "FPD_GetNextResponse"};

std::vector<std::string> joined(std::vector<std::string> a,
                                const std::vector<std::string> &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

} // namespace

std::vector<std::string> requestCalls(const Result &result) {
  return callsOf(result, joined(kSteps, kResponses));
}

std::vector<std::string> requestCallsWithErrors(const Result &result) {
  return callsOf(result, joined(joined(kSteps, kResponses),
                                {"FPD_GetError", "FPD_GetErrorString"}));
}

std::vector<std::string> requestStepCalls(const Result &result) {
  return callsOf(result, joined(kSteps, {"FPD_GetError"}));
}

} // namespace e2e
