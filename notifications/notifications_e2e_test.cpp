// status_callback and status_event end to end: status changes from the
// virtual printer's script, the lines they print, the set-up order in the
// trace, and the nominal three minutes run through the time scale.
#include "e2e/harness.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

/// The frame's start-up with the default serial settings, up to the opening.
const Lines kOpened = {
    "FPD_CreateDeviceHandle(1) = handle1",
    "FPD_SetDebugLevel(handle1, -2) = 0",
    "FPD_SetDeviceParam(handle1, FPD_PARAM_COM_SETTINGS, \"COM1,9600,8,N,1,H\") = 0",
    "FPD_OpenDevice(handle1) = device1",
};
const std::string kLevel = "FPD_SetDeviceParam(handle1, FPD_PARAM_2000A, 5) = 0";
const Lines kClosed = {"FPD_CloseDevice(device1) = 0",
                       "FPD_DestroyDeviceHandle(handle1) = 0"};
const std::string kWaiting = "Oczekuje ..... ";
const int kPasses = 180;

Lines join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string repeated(const std::string &line, int times) {
  std::string text;
  for (int i = 0; i < times; ++i)
    text += line + "\n";
  return text;
}

e2e::Result runProgram(const std::string &program, const std::string &script) {
  e2e::Run run;
  run.program = program;
  run.script = script;
  return e2e::run(run);
}

// ---- status_callback ------------------------------------------------------

const Lines kCallbackTrace = join({kOpened,
                                   {kLevel,
                                    "FPD_SetEventHandlingMode(device1, "
                                    "FPD_EVENTS_CALLBACK) = 0",
                                    "FPD_SetCallback(device1, function) = 0"},
                                   kClosed});

struct CallbackCase {
  std::string name;
  std::string script; ///< the pair (g, p) is delivered as g << 16 | p
  std::string out;
};

std::ostream &operator<<(std::ostream &os, const CallbackCase &c) {
  return os << c.name;
}

const CallbackCase kCallbackCases[] = {
    {"Zero", "at 0 status 0 0", "Printer status D: 0, P: 0\n"},
    {"OneAndTwo", "at 0 status 1 2", "Printer status D: 1, P: 2\n"},
    {"AllBitsSet", "at 0 status 65535 65535", "Printer status D: 65535, P: 65535\n"},
    {"TopBitOnly", "at 0 status 32768 0", "Printer status D: 32768, P: 0\n"},
    {"LowHalfOnly", "at 0 status 0 65535", "Printer status D: 0, P: 65535\n"},
    {"SeveralInQuickSuccession",
     "at 0 status 1 1\nat 1 status 2 2\nat 2 status 3 3\nat 3 status 4 4\n"
     "at 4 status 5 5",
     "Printer status D: 1, P: 1\nPrinter status D: 2, P: 2\nPrinter status D: 3, P: "
     "3\nPrinter status D: 4, P: 4\nPrinter status D: 5, P: 5\n"},
    {"NoneAtAll", "", ""},
};

class StatusCallback : public testing::TestWithParam<CallbackCase> {};

TEST_P(StatusCallback, PrintsOneLinePerNotification) {
  const CallbackCase &c = GetParam();
  const e2e::Result result = runProgram("status_callback", c.script);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, c.out);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, kCallbackTrace);
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusCallback, testing::ValuesIn(kCallbackCases),
                         [](const auto &named) { return named.param.name; });

// ---- status_event ---------------------------------------------------------

Lines eventSetUp(const std::string &event) {
  return {"FPD_SetEventHandlingMode(device1, FPD_EVENTS_EVENT_OBJECT) = 0",
          "FPD_GetEvent(device1) = " + event, kLevel};
}

bool isStatusLine(const std::string &line) {
  return line.rfind("Printer status D: ", 0) == 0;
}

long countStatusLines(const Lines &lines) {
  return std::count_if(lines.begin(), lines.end(), isStatusLine);
}

TEST(StatusEvent, WaitsAllPassesWithoutAStatusChange) {
  const e2e::Result result = runProgram("status_event", "");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, repeated(kWaiting, kPasses));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, join({kOpened, eventSetUp("event1"), kClosed}));
}

// Without an event object every wait fails at once: at the real time scale
// the 180 passes still end within the run's time-out.
TEST(StatusEvent, FailingWaitsPrintTheWaitingLinesAtOnce) {
  e2e::Run run;
  run.program = "status_event";
  run.script = "event none";
  run.timeScale = 1;
  run.timeoutSeconds = 20;
  const e2e::Result result = e2e::run(run);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, repeated(kWaiting, kPasses));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, join({kOpened, eventSetUp("null"), kClosed}));
}

struct EventCase {
  std::string name;
  std::string script;
  std::string statusLine; ///< the one status line
  std::string query;      ///< its status query in the trace
};

std::ostream &operator<<(std::ostream &os, const EventCase &c) {
  return os << c.name;
}

const EventCase kEventCases[] = {
    {"SignalledAtTheFirstWait", "at 0 status 3 4", "Printer status D: 3, P: 4",
     "FPD_GetPrnDeviceStatus(device1, 1) = 0 -> 3, 4"},
    {"NegativeStatus", "at 0 status -2 -65536", "Printer status D: -2, P: -65536",
     "FPD_GetPrnDeviceStatus(device1, 1) = 0 -> -2, -65536"},
};

class StatusEventOnce : public testing::TestWithParam<EventCase> {};

// One change, already signalled at the first wait: the status line comes
// first and the remaining passes wait.
TEST_P(StatusEventOnce, PrintsTheStatusLineThenWaits) {
  const EventCase &c = GetParam();
  const e2e::Result result = runProgram("status_event", c.script);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, c.statusLine + "\n" + repeated(kWaiting, kPasses - 1));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, join({kOpened, eventSetUp("event1"), {c.query}, kClosed}));
}

INSTANTIATE_TEST_SUITE_P(Cases, StatusEventOnce, testing::ValuesIn(kEventCases),
                         [](const auto &named) { return named.param.name; });

// Events again and again: each pass is cut short, so 180 passes end long
// before their nominal 180 seconds (18 real seconds at this time scale).
TEST(StatusEvent, EventsAgainAndAgainEndEarly) {
  e2e::Run run;
  run.program = "status_event";
  run.script = "at 0 status 5 6 every 10 times 100000";
  run.timeScale = 10;
  run.timeoutSeconds = 9;
  const e2e::Result result = e2e::run(run);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  const Lines lines = e2e::lines(result.out);
  ASSERT_EQ(lines.size(), static_cast<size_t>(kPasses));
  EXPECT_EQ(lines.front(), "Printer status D: 5, P: 6");
  for (const std::string &line : lines)
    EXPECT_TRUE(line == "Printer status D: 5, P: 6" || line == kWaiting) << line;
  EXPECT_EQ(static_cast<long>(e2e::callsOf(result, {"FPD_GetPrnDeviceStatus"}).size()),
            countStatusLines(lines));
  EXPECT_GT(countStatusLines(lines), kPasses / 2);
}

// A failing status query leaves the pair as it was: it starts at 0, 0.
TEST(StatusEvent, FailingStatusQueryShowsThePairUnchanged) {
  const e2e::Result result =
      runProgram("status_event", "status fail 0x10015\nat 0 status 1 2");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out,
            "Printer status D: 0, P: 0\n" + repeated(kWaiting, kPasses - 1));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, join({kOpened,
                                eventSetUp("event1"),
                                {"FPD_GetPrnDeviceStatus(device1, 1) = 65557"},
                                kClosed}));
}

} // namespace
