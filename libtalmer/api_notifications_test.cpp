// Printer status, notifications and the modem, through the C interface.
#include "libtalmer/api_test_support.h"
#include "platform/platform.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace talmer_test {
namespace {

using PrinterStatus = OpenPrinter;

TEST_F(PrinterStatus, ReadyPrinterIsZeroZero) {
  int32_t g = 7, p = 7;
  EXPECT_EQ(FPD_GetPrnDeviceStatus(device, 1, &g, &p), 0);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(p, 0);
  EXPECT_EQ(FPD_GetPrnDeviceStatus(device, 1, nullptr, &p), 0x10001);
}

TEST(ScriptedStatus, PairAndFailure) {
  int32_t g = 7, p = 7;
  {
    ScriptFile script("status -1 2\n");
    Session session;
    EXPECT_EQ(FPD_GetPrnDeviceStatus(session.device, 1, &g, &p), 0);
    EXPECT_EQ(g, -1);
    EXPECT_EQ(p, 2);
  }
  g = p = 7;
  ScriptFile script("status fail 0x10015\n");
  Session session;
  EXPECT_EQ(FPD_GetPrnDeviceStatus(session.device, 1, &g, &p), 0x10015);
  EXPECT_EQ(g, 7);
  EXPECT_EQ(p, 7);
}

// What the callback receives, and on which thread.
struct Received {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<uint32_t> values;
  bool onCallerThread = false;
  std::thread::id caller;

  bool waitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(20),
                            [&] { return values.size() >= count; });
  }
} received;

void onStatus(uint32_t value) {
  std::lock_guard<std::mutex> lock(received.mutex);
  received.values.push_back(value);
  if (std::this_thread::get_id() == received.caller) received.onCallerThread = true;
  received.changed.notify_all();
}

TEST(Notifications, CallbackGetsEveryScriptedChangeInOrder) {
  ScriptFile script("at 0 status 1 2\n"
                    "at 100 status 0xFFFF -1 every 100 times 3\n"
                    "at 500 paper out\n");
  Session session;
  received.caller = std::this_thread::get_id();
  EXPECT_EQ(FPD_SetEventHandlingMode(session.device, FPD_EVENTS_CALLBACK), 0);
  EXPECT_EQ(FPD_SetCallback(session.device, onStatus), 0);
  ASSERT_TRUE(received.waitFor(5));
  EXPECT_EQ(FPD_CloseDevice(session.device), 0);
  session.device = nullptr;
  std::lock_guard<std::mutex> lock(received.mutex);
  // Nothing after closing: the list is read after the close returned.
  const std::vector<uint32_t> expected = {0x00010002u, 0xFFFFFFFFu, 0xFFFFFFFFu,
                                          0xFFFFFFFFu, received.values[4]};
  EXPECT_EQ(received.values, expected);
  EXPECT_FALSE(received.onCallerThread);
}

TEST(Notifications, EventIsSignalledBeforeTheModeIsSet) {
  ScriptFile script("at 0 status 1 2\n");
  Session session;
  void *event = FPD_GetEvent(session.device);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::TimedOut);
  EXPECT_EQ(FPD_SetEventHandlingMode(session.device, FPD_EVENTS_EVENT_OBJECT), 0);
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::Signalled);
  EXPECT_TRUE(platform::resetEvent(event));
  int32_t g = 0, p = 0;
  EXPECT_EQ(FPD_GetPrnDeviceStatus(session.device, 1, &g, &p), 0);
  EXPECT_EQ(g, 1);
  EXPECT_EQ(p, 2);
  EXPECT_EQ(FPD_SetEventHandlingMode(session.device, 3), 0x10001);
}

// A callback that is slow to return, here one that waits for the test, never
// holds up the printer: a flood of changes goes on while a request is
// carried out and awaited.
struct Held {
  std::mutex mutex;
  std::condition_variable released;
  bool held = true;
  int calls = 0;
} held;

void onStatusHeld(uint32_t) {
  std::unique_lock<std::mutex> lock(held.mutex);
  ++held.calls;
  held.released.wait(lock, [] { return !held.held; });
}

TEST(Notifications, ASlowCallbackDoesNotHoldUpTheRequests) {
  ScriptFile script("at 0 status 1 1 every 1 times 100000000\n");
  Session session;
  EXPECT_EQ(FPD_SetEventHandlingMode(session.device, FPD_EVENTS_CALLBACK), 0);
  EXPECT_EQ(FPD_SetCallback(session.device, onStatusHeld), 0);
  EXPECT_EQ(runRequest(session.device, "papfeed", "ln,1"), 0);
  int32_t g = 0, p = 0;
  EXPECT_EQ(FPD_GetPrnDeviceStatus(session.device, 1, &g, &p), 0);
  EXPECT_EQ(g, 1);
  {
    std::lock_guard<std::mutex> lock(held.mutex);
    held.held = false;
  }
  held.released.notify_all();
  EXPECT_EQ(FPD_CloseDevice(session.device), 0);
  session.device = nullptr;
}

TEST(Notifications, NoEventWhenTheScriptSaysNone) {
  ScriptFile script("event none\n");
  Session session;
  EXPECT_EQ(FPD_GetEvent(session.device), nullptr);
}

struct ModemCase {
  const char *script;
  bool modem;
  const char *init;
  const char *dial;
  ErrorCode dialResult;
};

TEST(Modem, DialChecksTheSettingsAndTheScript) {
  const ModemCase cases[] = {
      {"", true, "AT&S0=0", "ATDT!", 0},
      {"", false, "AT&S0=0", "ATDT!", 0x1000E},
      {"", true, "&S0=0", "ATDT!", 0x1000F},
      {"", true, "AT&S0=0", "ATDT{}", 0x1000F},
      {"", true, "AT&S0=0", nullptr, 0x1000F},
      {"modem dial fail 0x10010", true, "AT&S0=0", "ATDT!", 0x10010},
  };
  for (const ModemCase &c : cases) {
    SCOPED_TRACE(std::string(c.script) + " " + c.init);
    ScriptFile script(c.script);
    DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
    const uint8_t flag = c.modem ? 1 : 0;
    FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,57600,8,N,1,H");
    FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_INIT, c.init);
    if (c.dial) FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_DIAL, c.dial);
    FPD_SetDeviceParam(handle, FPD_PARAM_2000B, &flag);
    EXPECT_EQ(FPD_ModemDial(handle, 1), 0x1000D); // not open yet
    Device device = FPD_OpenDevice(handle);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(FPD_ModemDial(handle, 1), c.dialResult);
    EXPECT_EQ(FPD_GetError(handle), c.dialResult);
    EXPECT_EQ(FPD_ModemStatus(handle) == FPD_MODEM_CONNECTED, c.dialResult == 0);
    FPD_CloseDevice(device);
    FPD_DestroyDeviceHandle(handle);
  }
}

std::vector<int32_t> pollModem(const char *scriptText, int polls) {
  ScriptFile script(scriptText);
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  const uint8_t flag = 1;
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,57600,8,N,1,H");
  FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_INIT, "AT&S0=0");
  FPD_SetDeviceParam(handle, FPD_PARAM_2000B, &flag);
  Device device = FPD_OpenDevice(handle);
  std::vector<int32_t> states;
  for (int i = 0; i < polls; ++i) {
    if (i > 0) platform::sleepMs(1000);
    states.push_back(FPD_ModemStatus(handle));
  }
  FPD_CloseDevice(device);
  FPD_DestroyDeviceHandle(handle);
  return states;
}

TEST(Modem, IncomingCallStatesFollowThePolls) {
  EXPECT_EQ(pollModem("", 5), (std::vector<int32_t>{0, 10, 50, 100, 100}));
  EXPECT_EQ(pollModem("modem status 0 100", 3), (std::vector<int32_t>{0, 100, 100}));
  EXPECT_EQ(pollModem("modem status 0", 3), (std::vector<int32_t>{0, 0, 0}));
}

} // namespace
} // namespace talmer_test
