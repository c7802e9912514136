// modem_link end to end: its command line, the modem settings in the trace,
// dialling and waiting for the call, and the failures with their exit codes.
#include "e2e/harness.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

const char kUsage[] =
    "Usage: modem_link [[DIAL|RECEIVE] [com_settings [modem_dial_string "
    "[modem_init_string]]]] \n"
    "Defaults to RECEIVE. Default params : com_settings = COM1,57600,8,N,1,H  "
    "modem_dial_string=ATDT! modem_init_string=AT&S0=0\n";

/// Handle, debug level and the four settings in their order.
Lines setUp(const std::string &comparams = "COM1,57600,8,N,1,H",
            const std::string &atinit = "AT&S0=0",
            const std::string &atdial = "ATDT!") {
  return {
      "FPD_CreateDeviceHandle(1) = handle1",
      "FPD_SetDebugLevel(handle1, -2) = 0",
      "FPD_SetDeviceParam(handle1, FPD_PARAM_COM_SETTINGS, \"" + comparams + "\") = 0",
      "FPD_SetDeviceParam(handle1, FPD_PARAM_MODEM_INIT, \"" + atinit + "\") = 0",
      "FPD_SetDeviceParam(handle1, FPD_PARAM_MODEM_DIAL, \"" + atdial + "\") = 0",
      "FPD_SetDeviceParam(handle1, FPD_PARAM_2000B, 1) = 0",
  };
}

const std::string kOpened = "FPD_OpenDevice(handle1) = device1";
const Lines kClosed = {"FPD_CloseDevice(device1) = 0",
                       "FPD_DestroyDeviceHandle(handle1) = 0"};
const std::string kDialled = "FPD_ModemDial(handle1, 1) = 0";
const std::string kConnected = "FPD_ModemStatus(handle1) = 100";

Lines join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Case {
  std::string name;
  Lines args;
  std::string script;
  int exitCode;
  std::string out; ///< UTF-8
  Lines trace;
};

std::ostream &operator<<(std::ostream &os, const Case &c) {
  return os << c.name;
}

const Case kCases[] = {
    {"NoArgumentShowsUsage", {}, "", 1, kUsage, {}},
    {"DialAloneUsesDefaults",
     {"DIAL"},
     "",
     0,
     "",
     join({setUp(), {kOpened, kDialled}, kClosed})},
    {"LowerCaseDialReceives",
     {"dial"},
     "modem status 100",
     0,
     "",
     join({setUp(), {kOpened, kConnected}, kClosed})},
    {"MixedCaseDialReceives",
     {"Dial"},
     "modem status 100",
     0,
     "",
     join({setUp(), {kOpened, kConnected}, kClosed})},
    {"HelpReceives",
     {"help"},
     "modem status 100",
     0,
     "",
     join({setUp(), {kOpened, kConnected}, kClosed})},
    {"ThreeArgumentsKeepInitString",
     {"DIAL", "COM2,19200,8,E,1,N", "ATDP0221234567"},
     "",
     0,
     "",
     join({setUp("COM2,19200,8,E,1,N", "AT&S0=0", "ATDP0221234567"),
           {kOpened, kDialled},
           kClosed})},
    {"ArgumentsAfterTheFourthIgnored",
     {"DIAL", "COM3,115200,7,O,2,S", "ATDT123", "ATZ", "extra", "more"},
     "",
     0,
     "",
     join({setUp("COM3,115200,7,O,2,S", "ATZ", "ATDT123"),
           {kOpened, kDialled},
           kClosed})},
    {"ReceiveConnectedAtOnce",
     {"RECEIVE"},
     "modem status 100",
     0,
     "",
     join({setUp(), {kOpened, kConnected}, kClosed})},
    {"ReceiveAfterSomeQueries",
     {"RECEIVE"},
     "modem status 0 10 100",
     0,
     "",
     join({setUp(),
           {kOpened, "FPD_ModemStatus(handle1) = 0", "FPD_ModemStatus(handle1) = 10",
            kConnected},
           kClosed})},
    {"DialFailsWithText",
     {"DIAL"},
     "modem dial fail 0x10010\ndescribe 0x10010 \"Brak sygnału\"",
     4,
     "Error Dialing device: 0x10010 Brak sygnału\n",
     join({setUp(),
           {kOpened, "FPD_ModemDial(handle1, 1) = 65552",
            "FPD_GetError(handle1) = 65552",
            "FPD_GetErrorString(65552, \"pl\") = \"Brak sygnału\""},
           kClosed})},
    {"DialFailsWithoutText",
     {"DIAL"},
     "modem dial fail -2\ndescribe -2 none",
     4,
     "Error Dialing device: 0xfffffffe \n",
     join({setUp(),
           {kOpened, "FPD_ModemDial(handle1, 1) = -2", "FPD_GetError(handle1) = -2",
            "FPD_GetErrorString(-2, \"pl\") = null"},
           kClosed})},
    {"OpeningFails",
     {"DIAL"},
     "open fail 0x10016\ndescribe 0x10016 \"Zajęte\"",
     4,
     "Error Opening device: 0x10016 Zajęte\n",
     join({setUp(),
           {"FPD_OpenDevice(handle1) = null", "FPD_GetError(handle1) = 65558",
            "FPD_GetErrorString(65558, \"pl\") = \"Zajęte\""}})},
    {"NoHandle",
     {"DIAL"},
     "handle fail",
     2,
     "Could not create a device.\n",
     {"FPD_CreateDeviceHandle(1) = null"}},
};

class ModemLink : public testing::TestWithParam<Case> {};

TEST_P(ModemLink, PrintsExitsAndCallsTheLibraryAsExpected) {
  const Case &c = GetParam();
  e2e::Run run;
  run.program = "modem_link";
  run.args = c.args;
  run.script = c.script;
  const e2e::Result result = e2e::run(run);
  EXPECT_EQ(result.exitCode, c.exitCode);
  EXPECT_EQ(result.out, e2e::cp1250(c.out));
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.trace, c.trace);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModemLink, testing::ValuesIn(kCases),
                         [](const auto &named) { return named.param.name; });

// Without a script the virtual modem's call comes in a few nominal seconds
// after opening: the program asks until then and ends by itself.
TEST(ModemLinkReceive, EndsWhenTheCallComesIn) {
  e2e::Run run;
  run.program = "modem_link";
  run.args = {"RECEIVE"};
  const e2e::Result result = e2e::run(run);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  const Lines queries = e2e::callsOf(result, {"FPD_ModemStatus"});
  ASSERT_GE(queries.size(), 2u);
  EXPECT_NE(queries.front(), kConnected);
  EXPECT_EQ(queries.back(), kConnected);
  EXPECT_EQ(e2e::callsOf(result, {"FPD_CloseDevice", "FPD_DestroyDeviceHandle"}),
            kClosed);
}

} // namespace
