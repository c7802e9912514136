// plain_receipt end to end: the status line, then one receipt whose steps
// fail only when they can't be created or are refused; the waits are not
// tested.
#include "e2e/harness.h"
#include "e2e/receipt_trace.h"
#include "e2e/test_folder.h"
#include "e2e/trace_filters.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace receipt_e2e;

struct Case {
  const char *name;
  std::string script;
  std::string out;
  std::vector<std::string> trace; ///< the calls on requests, renumbered
  /// When given, the paper roll is kept (TALMER_PAPER) and must hold this.
  std::optional<std::string> roll = std::nullopt;
};

void PrintTo(const Case &c, std::ostream *os) {
  *os << c.name;
}

class PlainReceipt : public testing::TestWithParam<Case> {};

TEST_P(PlainReceipt, PrintsTheReceipt) {
  const Case &c = GetParam();
  const e2e::TestFolder folder;
  e2e::Run run = programRun("plain_receipt", c.script);
  if (c.roll) run.env = {{"TALMER_PAPER", folder.file("roll.txt")}};
  const e2e::Result result = e2e::run(run);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(renumbered(e2e::requestCallsWithErrors(result)), c.trace);
  expectOwnRequestsDestroyed(result);
  if (c.roll) {
    EXPECT_EQ(e2e::fileContent(folder.file("roll.txt")), *c.roll);
  }
}

const std::string kReady = "Printer status D:0, P0\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, PlainReceipt,
    testing::Values(
        Case{"Printed", "", kReady,
             receiptTrace({done(), done(), done(), done()}, Cancel::NotSent)},
        Case{"PrinterStatusOnlyShown", "status 0 9\n", "Printer status D:0, P9\n",
             receiptTrace({done(), done(), done(), done()}, Cancel::NotSent)},
        Case{"Busy", "status 3 4\n", "Printer status D:3, P4\n", {}},
        // Paper and cover, out and open from the start, make the printer
        // busy: nothing is sent, nothing reaches the roll.
        Case{"PaperOut", "at 0 paper out\n", "Printer status D:1, P1\n", {}, ""},
        Case{"CoverOpen", "at 0 cover open\n", "Printer status D:1, P2\n", {}, ""},
        // A query that writes nothing leaves the pair at 0, 0.
        Case{"QueryFailed", "status fail 0x10015\n", kReady,
             receiptTrace({done(), done(), done(), done()}, Cancel::NotSent)},
        Case{"TrinitNotCreated", "trinit create fail 0x10006\n",
             kReady + "FPD_CreateRequest status: 65542",
             receiptTrace({notCreated(65542)}, Cancel::Answers)},
        Case{"TrlineNotCreated", "trline create fail 0x10006\n",
             kReady + "FPD_CreateRequestEx status: 65542",
             receiptTrace({done(), notCreated(65542)}, Cancel::Answers)},
        Case{"TrpaymentNotCreated", "trpayment create fail -3\n",
             kReady + "FPD_CreateRequestEx status: -3",
             receiptTrace({done(), done(), notCreated(-3)}, Cancel::Answers)},
        Case{
            "TrendNotCreated", "trend create fail 0x10006\n",
            kReady + "FPD_CreateRequestEx status: 65542",
            receiptTrace({done(), done(), done(), notCreated(65542)}, Cancel::Answers)},
        Case{"TrinitRefused", "trinit status 30\n", kReady,
             receiptTrace({statusFails(30)}, Cancel::Answers)},
        Case{"TrlineRefused", "trline status 34\n", kReady,
             receiptTrace({done(), statusFails(34)}, Cancel::Answers)},
        Case{"TrpaymentRefused", "trpayment status 33\n", kReady,
             receiptTrace({done(), done(), statusFails(33)}, Cancel::Answers)},
        Case{"TrendRefused", "trend status 32\n", kReady,
             receiptTrace({done(), done(), done(), statusFails(32)}, Cancel::Answers)},
        // A wait that fails decides nothing: the status does.
        Case{"TrlineNoAnswerButDone", "trline wait 65539\n", kReady,
             receiptTrace({done(), waitFailsStatus(65539, 0), done(), done()},
                          Cancel::NotSent)},
        Case{"TrendNoAnswerAndRefused", "trend wait 65539\ntrend status 32\n", kReady,
             receiptTrace({done(), done(), done(), waitFailsStatus(65539, 32)},
                          Cancel::Answers)},
        Case{"CancelNotCreated", "trend status 32\nprncancel create fail 0x10006\n",
             kReady + "FPD_CreateRequest status: 65542",
             receiptTrace({done(), done(), done(), statusFails(32)}, Cancel::NotCreated,
                          65542)},
        Case{"CancelNoAnswer", "trinit status 30\nprncancel wait 65539\n", kReady,
             receiptTrace({statusFails(30)}, Cancel::NoAnswer, 65539)}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
