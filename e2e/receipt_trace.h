// What the end-to-end tests of request_results and plain_receipt share: the
// expected trace of the receipt, request handles renamed in order of
// appearance, and the check that no request of the program's own is left
// undestroyed.
#pragma once

#include "e2e/harness.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace receipt_e2e {

/// A run of the program with a script for the virtual printer.
e2e::Run programRun(const std::string &program, const std::string &script);

/// Request handles renamed request1, request2, ... in order of first
/// appearance, so that a part of a trace reads the same wherever it stands.
std::vector<std::string> renumbered(const std::vector<std::string> &lines);

/// The lines from the first creation of a request named `from` up to, not
/// including, the first creation of one named `to` (or to the end).
std::vector<std::string> between(const std::vector<std::string> &lines,
                                 std::string_view from, std::string_view to = {});

/// What became of one step of the receipt, as the trace shows it.
struct Step {
  bool created = true;
  int error = 0;             ///< FPD_GetError after a failed creation
  int wait = 0;              ///< result of the wait
  std::optional<int> status; ///< absent: not read
};

Step done();
Step notCreated(int error);
Step waitFails(int code);
Step waitFailsStatus(int code, int status);
Step statusFails(int status);

enum class Cancel { NotSent, Answers, NotCreated, NoAnswer };

/// The expected request calls of the receipt: the steps tried, in order,
/// then the cancel request; handles numbered from request1.
std::vector<std::string> receiptTrace(const std::vector<Step> &steps, Cancel cancel,
                                      int cancelCode = 0);

/// Every request that the program created and did not hand to the library
/// with a successful spooled post is destroyed before the device is closed,
/// and no null request is handed to the library.
void expectOwnRequestsDestroyed(const e2e::Result &result);

} // namespace receipt_e2e
