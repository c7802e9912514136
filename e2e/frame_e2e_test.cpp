// The start-up and closing that five programs share: the command line, the
// configuration of the device, the start-up failures and their exit codes.
#include "e2e/harness.h"

#include <gtest/gtest.h>

namespace {

using e2e::cp1250;
using Lines = std::vector<std::string>;

const Lines kFrameCalls = {"FPD_CreateDeviceHandle", "FPD_SetDebugLevel",
                           "FPD_SetDeviceParam",     "FPD_GetDeviceParam",
                           "FPD_OpenDevice",         "FPD_CloseDevice",
                           "FPD_DestroyDeviceHandle"};

const std::string kUsage =
    "Usage: demo_XXXXX [ SERIAL | USB ] [ com_settings | usb_serial com_settings] \n"
    "Defaults to SERIAL. Default params : SERIAL: COM1,8,N,1,H  , USB '' \n";

// A quiet body: with a busy printer (global status 1) request_results prints
// its status line and sends nothing.
const char kQuietScript[] = "status 1 0\n";

Lines serialCalls(const std::string &settings) {
  return {"FPD_CreateDeviceHandle(1) = handle1",
          "FPD_SetDebugLevel(handle1, -2) = 0",
          "FPD_SetDeviceParam(handle1, FPD_PARAM_COM_SETTINGS, \"" + settings +
              "\") = 0",
          "FPD_OpenDevice(handle1) = device1",
          "FPD_SetDeviceParam(handle1, FPD_PARAM_2000A, 5) = 0",
          "FPD_CloseDevice(device1) = 0",
          "FPD_DestroyDeviceHandle(handle1) = 0"};
}

Lines usbCalls(const std::string &serial, const std::string &settings) {
  return {"FPD_CreateDeviceHandle(2) = handle1",
          "FPD_SetDebugLevel(handle1, -2) = 0",
          "FPD_GetDeviceParam(handle1, FPD_PARAM_USB_DEVICES) = 0 -> \"VP0001\"",
          "FPD_SetDeviceParam(handle1, FPD_PARAM_USB_SERIAL, \"" + serial + "\") = 0",
          "FPD_SetDeviceParam(handle1, FPD_PARAM_COM_SETTINGS, \"" + settings +
              "\") = 0",
          "FPD_OpenDevice(handle1) = device1",
          "FPD_SetDeviceParam(handle1, FPD_PARAM_2000A, 5) = 0",
          "FPD_CloseDevice(device1) = 0",
          "FPD_DestroyDeviceHandle(handle1) = 0"};
}

e2e::Result runProgram(const std::string &program, std::vector<std::string> args,
                       std::string script = "",
                       std::vector<std::pair<std::string, std::string>> env = {}) {
  e2e::Run run;
  run.program = program;
  run.args = std::move(args);
  run.script = std::move(script);
  run.env = std::move(env);
  return e2e::run(run);
}

const std::string kDefaults = "COM1,9600,8,N,1,H";

struct CommandLineCase {
  const char *name;
  std::vector<std::string> args;
  Lines calls;
  std::string outputStart;
};

// Cases show by their names in test listings.
void PrintTo(const CommandLineCase &c, std::ostream *os) {
  *os << c.name;
}

class CommandLine : public testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, ConfiguresOpensAndCloses) {
  const CommandLineCase &c = GetParam();
  const e2e::Result r = runProgram("request_results", c.args, kQuietScript);
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(e2e::callsOf(r, kFrameCalls), c.calls);
  EXPECT_EQ(r.out.substr(0, c.outputStart.size()), c.outputStart);
}

INSTANTIATE_TEST_SUITE_P(
    Frame, CommandLine,
    testing::Values(
        CommandLineCase{"NoArguments", {}, serialCalls(kDefaults), ""},
        CommandLineCase{"HelpWithMore", {"help", "me"}, serialCalls(kDefaults), ""},
        CommandLineCase{"UsbAlone", {"USB"}, serialCalls(kDefaults), ""},
        CommandLineCase{"SerialAlone", {"SERIAL"}, serialCalls(kDefaults), ""},
        CommandLineCase{
            "WordsInLowerCase", {"usb", "VP0001"}, serialCalls(kDefaults), ""},
        CommandLineCase{"HelpInCapitals", {"HELP"}, serialCalls(kDefaults), ""},
        CommandLineCase{"UnknownWord", {"TCP", "10.0.0.1"}, serialCalls(kDefaults), ""},
        CommandLineCase{"SerialWithSettings",
                        {"SERIAL", "COM2,19200,8,E,2,N", "ignored"},
                        serialCalls("COM2,19200,8,E,2,N"),
                        ""},
        CommandLineCase{"UsbWithSerialOnly",
                        {"USB", "VP0001"},
                        usbCalls("VP0001", kDefaults),
                        "Devices: VP0001\n"},
        CommandLineCase{"UsbWithSettings",
                        {"USB", "VP0001", "COM3,115200,7,O,1,S", "ignored"},
                        usbCalls("VP0001", "COM3,115200,7,O,1,S"),
                        "Devices: VP0001\n"}),
    [](const auto &test) { return test.param.name; });

TEST(Frame, HelpPrintsTheUsageOfEveryProgramWithoutCallingTheLibrary) {
  for (const char *program : {"fiscal_menu", "request_results", "plain_receipt",
                              "status_callback", "status_event"}) {
    SCOPED_TRACE(program);
    const e2e::Result r = runProgram(program, {"help"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, kUsage);
    EXPECT_TRUE(r.trace.empty());
  }
}

struct FailureCase {
  const char *name;
  std::vector<std::string> args;
  std::string script;
  int exitCode;
  std::string out;
};

void PrintTo(const FailureCase &c, std::ostream *os) {
  *os << c.name;
}

class StartUpFailure : public testing::TestWithParam<FailureCase> {};

TEST_P(StartUpFailure, ReportsAndEnds) {
  const FailureCase &c = GetParam();
  const e2e::Result r = runProgram("request_results", c.args, c.script);
  EXPECT_EQ(r.exitCode, c.exitCode);
  EXPECT_EQ(r.out, cp1250(c.out));
  // Nothing is closed or destroyed on these paths.
  EXPECT_TRUE(e2e::callsOf(r, {"FPD_CloseDevice", "FPD_DestroyDeviceHandle"}).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Frame, StartUpFailure,
    testing::Values(
        FailureCase{
            "InvalidSerialSettings",
            {"SERIAL", "COM1,12345,9,X,3,Q"},
            "",
            4,
            "Error Opening device: 0x10008 Błędne ustawienia portu szeregowego\n"},
        FailureCase{"UnknownUsbSerialNumber",
                    {"USB", "XX9999"},
                    "",
                    4,
                    "Devices: VP0001\nError Opening device: 0x1000a Nie znaleziono "
                    "urządzenia USB o tym numerze\n"},
        FailureCase{"OpeningWithoutDescription",
                    {},
                    "open fail 0x12345\n",
                    4,
                    "Error Opening device: 0x12345 \n"},
        FailureCase{"CodeWithTheTopBitSet",
                    {},
                    "open fail -1\n",
                    4,
                    "Error Opening device: 0xffffffff \n"},
        FailureCase{
            "HandleNotCreated", {}, "handle fail\n", 2, "Could not create a device.\n"},
        FailureCase{"UsbListingFails",
                    {"USB", "VP0001"},
                    "usb-devices fail 0x1000b\n",
                    5,
                    "Error listing USB serial numbers: 0x1000b\n"},
        FailureCase{"EmptyUsbListing",
                    {"USB", "VP0001"},
                    "usb-devices \"\"\n",
                    4,
                    "Devices: \nError Opening device: 0x1000a Nie znaleziono "
                    "urządzenia USB o tym numerze\n"}),
    [](const auto &test) { return test.param.name; });

TEST(Frame, FailedSocketStartUpShowsTheBoxAndEndsAsNormal) {
  if (e2e::windowsBuild()) GTEST_SKIP() << "the Windows build starts the real sockets";
  const e2e::Result r =
      runProgram("request_results", {}, "", {{"TALMER_SIM_SOCKETS", "fail"}});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Error: WSAStartup failed!\n");
  EXPECT_TRUE(r.trace.empty());
}

} // namespace
