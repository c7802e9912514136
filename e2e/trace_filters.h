// The parts of a trace that the end-to-end tests compare: the lines of the
// calls that a test is about, picked from the whole trace in call order.
#pragma once

#include "e2e/harness.h"

#include <string>
#include <vector>

namespace e2e {

/// The calls on requests: creation, pushed parameters, post, wait, status,
/// response fields and destruction, and the response queue, in order.
std::vector<std::string> requestCalls(const Result &result);

/// The calls on requests, as requestCalls, with the error code read after a
/// failed creation (FPD_GetError) and the descriptions asked for
/// (FPD_GetErrorString).
std::vector<std::string> requestCallsWithErrors(const Result &result);

/// The steps of each request without its response: creation, pushed
/// parameters, post, wait, status and destruction, with the error code read
/// after a failed creation (FPD_GetError).
std::vector<std::string> requestStepCalls(const Result &result);

} // namespace e2e
