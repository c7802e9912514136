// Device handles, parameters, opening, error texts and the trace, through the
// C interface.
#include "engine/status_codes.h"
#include "libtalmer/api_test_support.h"

#include <cstring>
#include <string>

namespace talmer_test {
namespace {

// The codes come from the library's one table.
using talmer::kBadSerialSettings;
using talmer::kInvalidArgument;
using talmer::kInvalidHandle;
using talmer::kUsbDeviceNotFound;

TEST(Handles, AreMadeForSerialAndUsbOnly) {
  for (DeviceType type : {FPD_DEVICE_SERIAL, FPD_DEVICE_USB}) {
    DeviceHandle handle = FPD_CreateDeviceHandle(type);
    EXPECT_NE(handle, nullptr);
    EXPECT_EQ(FPD_DestroyDeviceHandle(handle), 0);
  }
  EXPECT_EQ(FPD_CreateDeviceHandle(0), nullptr);
  EXPECT_EQ(FPD_CreateDeviceHandle(3), nullptr);
}

// Every call on a null, destroyed or foreign handle gives an error, never a
// crash (run under the sanitizers).
TEST(Handles, EveryCallRefusesDeadOrForeignHandles) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(handle);
  Request request = FPD_CreateRequest(device, "papfeed");
  FPD_DestroyRequest(request);
  FPD_CloseDevice(device);
  FPD_DestroyDeviceHandle(handle);
  int local = 0;
  void *foreign = &local;
  for (void *dead : {static_cast<void *>(nullptr), foreign, static_cast<void *>(handle),
                     static_cast<void *>(device), static_cast<void *>(request)}) {
    auto h = static_cast<DeviceHandle>(dead);
    auto d = static_cast<Device>(dead);
    auto r = static_cast<Request>(dead);
    char buffer[FPD_USB_DEVICES_SIZE] = "untouched";
    char name[FPD_RESPONSE_NAME_SIZE] = "untouched";
    int32_t g = 7, p = 7;
    EXPECT_EQ(FPD_DestroyDeviceHandle(h), kInvalidHandle);
    EXPECT_EQ(FPD_SetDebugLevel(h, 1), kInvalidHandle);
    EXPECT_EQ(FPD_SetDeviceParam(h, FPD_PARAM_COM_SETTINGS, "COM1"), kInvalidHandle);
    EXPECT_EQ(FPD_GetDeviceParam(h, FPD_PARAM_USB_DEVICES, buffer), kInvalidHandle);
    EXPECT_EQ(FPD_OpenDevice(h), nullptr);
    EXPECT_EQ(FPD_CloseDevice(d), kInvalidHandle);
    EXPECT_EQ(FPD_GetError(dead), 0);
    EXPECT_EQ(FPD_ModemDial(h, 1), kInvalidHandle);
    EXPECT_LT(FPD_ModemStatus(h), 0);
    EXPECT_EQ(FPD_GetPrnDeviceStatus(d, 1, &g, &p), kInvalidHandle);
    EXPECT_EQ(FPD_SetEventHandlingMode(d, FPD_EVENTS_CALLBACK), kInvalidHandle);
    EXPECT_EQ(FPD_SetCallback(d, nullptr), kInvalidHandle);
    EXPECT_EQ(FPD_GetEvent(d), nullptr);
    EXPECT_EQ(FPD_CreateRequest(d, "papfeed"), nullptr);
    EXPECT_EQ(FPD_CreateRequestEx(d, "papfeed", "ln,1"), nullptr);
    EXPECT_EQ(FPD_PushRequestParam(r, "ln", "1"), kInvalidHandle);
    EXPECT_EQ(FPD_PostRequest(r, FPD_POST_NORMAL), kInvalidHandle);
    EXPECT_EQ(FPD_WaitForRequestCompleted(r, 10), kInvalidHandle);
    EXPECT_EQ(FPD_GetRequestStatus(r), kInvalidHandle);
    EXPECT_EQ(FPD_GetResponseValue(r, "cm", buffer, sizeof buffer), kInvalidHandle);
    EXPECT_EQ(FPD_GetResponseValueCount(r), 0);
    EXPECT_EQ(FPD_PopResponseValue(r, name, buffer, sizeof buffer), kInvalidHandle);
    EXPECT_EQ(FPD_DestroyRequest(r), kInvalidHandle);
    EXPECT_EQ(FPD_GetResponseCount(d), 0);
    EXPECT_EQ(FPD_GetNextResponse(d), nullptr);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_STREQ(name, "untouched");
    EXPECT_EQ(g, 7);
    EXPECT_EQ(p, 7);
  }
}

TEST(Parameters, AreKeptAndReadBack) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  const int32_t level = 5;
  const uint8_t flag = 1;
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM2,9600,8,N,1,H"), 0);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_USB_SERIAL, "VP0001"), 0);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_INIT, "AT&S0=0"), 0);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_DIAL, "ATDT!"), 0);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_2000A, &level), 0);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_2000B, &flag), 0);
  char text[FPD_USB_DEVICES_SIZE];
  const std::pair<uint32_t, const char *> texts[] = {
      {FPD_PARAM_COM_SETTINGS, "COM2,9600,8,N,1,H"},
      {FPD_PARAM_USB_SERIAL, "VP0001"},
      {FPD_PARAM_MODEM_INIT, "AT&S0=0"},
      {FPD_PARAM_MODEM_DIAL, "ATDT!"},
      {FPD_PARAM_USB_DEVICES, "VP0001"}};
  for (const auto &[id, expected] : texts) {
    EXPECT_EQ(FPD_GetDeviceParam(handle, id, text), 0);
    EXPECT_STREQ(text, expected);
  }
  int32_t readLevel = 0;
  uint8_t readFlag[2] = {0, 0x55};
  EXPECT_EQ(FPD_GetDeviceParam(handle, FPD_PARAM_2000A, &readLevel), 0);
  EXPECT_EQ(readLevel, 5);
  EXPECT_EQ(FPD_GetDeviceParam(handle, FPD_PARAM_2000B, readFlag), 0);
  EXPECT_EQ(readFlag[0], 1);
  EXPECT_EQ(readFlag[1], 0x55); // one byte written, no more

  const uint8_t badFlag = 2;
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_2000B, &badFlag), kInvalidArgument);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_USB_DEVICES, "x"), kInvalidArgument);
  EXPECT_EQ(FPD_SetDeviceParam(handle, 0x12345, "x"), kInvalidArgument);
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, nullptr),
            kInvalidArgument);
  EXPECT_EQ(FPD_GetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, nullptr),
            kInvalidArgument);
  EXPECT_EQ(FPD_GetDeviceParam(handle, 0x12345, text), kInvalidArgument);
  EXPECT_EQ(FPD_DestroyDeviceHandle(handle), 0);
}

TEST(Parameters, LongTextsAreCutToTheBuffer) {
  ScriptFile script("usb-devices \"" + std::string(3000, 'V') + "\"\n");
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_USB);
  const std::string longText(5000, 'C');
  EXPECT_EQ(FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, longText.c_str()), 0);
  for (uint32_t id : {FPD_PARAM_COM_SETTINGS, FPD_PARAM_USB_DEVICES}) {
    char buffer[FPD_USB_DEVICES_SIZE + 16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(FPD_GetDeviceParam(handle, id, buffer), 0);
    EXPECT_EQ(std::strlen(buffer), FPD_USB_DEVICES_SIZE - 1u);
    EXPECT_EQ(buffer[FPD_USB_DEVICES_SIZE], 'x');
  }
  FPD_DestroyDeviceHandle(handle);
}

struct OpenCase {
  const char *script;
  DeviceType type;
  const char *settings;
  const char *usbSerial;
  ErrorCode error; ///< 0: opens
};

TEST(Opening, ChecksSettingsAndFollowsTheScript) {
  const OpenCase cases[] = {
      {"", FPD_DEVICE_SERIAL, "COM1,9600,8,N,1,H", nullptr, 0},
      {"", FPD_DEVICE_SERIAL, "COM16,115200,7,E,2,S", nullptr, 0},
      {"", FPD_DEVICE_SERIAL, "COM1,12345,9,X,3,Q", nullptr, kBadSerialSettings},
      {"", FPD_DEVICE_SERIAL, "", nullptr, kBadSerialSettings},
      {"", FPD_DEVICE_SERIAL, nullptr, nullptr, kBadSerialSettings},
      {"", FPD_DEVICE_USB, "COM1,9600,8,N,1,H", "VP0001", 0},
      {"", FPD_DEVICE_USB, nullptr, "VP0001", 0},
      {"", FPD_DEVICE_USB, nullptr, "VP0002", kUsbDeviceNotFound},
      {"usb-devices \"VP0001;VP0042\"", FPD_DEVICE_USB, nullptr, "VP0042", 0},
      {"usb-devices \"\"", FPD_DEVICE_USB, nullptr, "VP0001", kUsbDeviceNotFound},
      {"open fail 0x10016", FPD_DEVICE_SERIAL, "COM1,9600,8,N,1,H", nullptr, 0x10016},
      {"open fail -1", FPD_DEVICE_USB, nullptr, "VP0001", -1},
  };
  for (const OpenCase &c : cases) {
    SCOPED_TRACE(std::string(c.script) + " / " + (c.settings ? c.settings : "-") +
                 " / " + (c.usbSerial ? c.usbSerial : "-"));
    ScriptFile script(c.script);
    DeviceHandle handle = FPD_CreateDeviceHandle(c.type);
    ASSERT_NE(handle, nullptr);
    if (c.settings) FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, c.settings);
    if (c.usbSerial) FPD_SetDeviceParam(handle, FPD_PARAM_USB_SERIAL, c.usbSerial);
    Device device = FPD_OpenDevice(handle);
    EXPECT_EQ(device != nullptr, c.error == 0);
    EXPECT_EQ(FPD_GetError(handle), c.error);
    if (device) {
      EXPECT_EQ(FPD_OpenDevice(handle), nullptr); // one device per handle
      EXPECT_EQ(FPD_GetError(handle), 0x1000C);
      EXPECT_EQ(FPD_CloseDevice(device), 0);
      EXPECT_EQ(FPD_CloseDevice(device), kInvalidHandle);
    }
    EXPECT_EQ(FPD_DestroyDeviceHandle(handle), 0);
  }
}

TEST(Opening, DestroyingTheHandleClosesItsDevice) {
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(handle);
  ASSERT_NE(device, nullptr);
  ASSERT_NE(FPD_CreateRequest(device, "papfeed"), nullptr);
  EXPECT_EQ(FPD_DestroyDeviceHandle(handle), 0);
  EXPECT_EQ(FPD_CloseDevice(device), kInvalidHandle);
}

TEST(ScriptedStartUp, ListingAndHandleFailures) {
  {
    ScriptFile script("usb-devices fail 0x1000b\n");
    DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_USB);
    char buffer[FPD_USB_DEVICES_SIZE] = "untouched";
    EXPECT_EQ(FPD_GetDeviceParam(handle, FPD_PARAM_USB_DEVICES, buffer), 0x1000B);
    EXPECT_STREQ(buffer, "untouched");
    FPD_DestroyDeviceHandle(handle);
  }
  {
    ScriptFile script("handle fail\n");
    EXPECT_EQ(FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL), nullptr);
  }
  {
    // A line the printer doesn't understand is loud: no handle at all.
    ScriptFile script("status 0 0\nthis is no directive\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL), nullptr);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("line 2"), std::string::npos);
  }
}

TEST(ErrorStrings, ArePolishAndStayValid) {
  const char *text = FPD_GetErrorString(kBadSerialSettings, "pl");
  ASSERT_NE(text, nullptr);
  // "Błędne ustawienia portu szeregowego" in code page 1250
  EXPECT_STREQ(text, "B\xB3\xEA"
                     "dne ustawienia portu szeregowego");
  EXPECT_EQ(FPD_GetErrorString(kBadSerialSettings, "en"), nullptr);
  EXPECT_EQ(FPD_GetErrorString(kBadSerialSettings, nullptr), nullptr);
  EXPECT_EQ(FPD_GetErrorString(12345, "pl"), nullptr);
  EXPECT_EQ(FPD_GetErrorString(kBadSerialSettings, "pl"), text);

  const char *scripted;
  {
    ScriptFile script("describe 0x10016 \"Zaj\xC4\x99te\"\ndescribe 0x10008 none\n");
    FPD_DestroyDeviceHandle(FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL));
    scripted = FPD_GetErrorString(0x10016, "pl");
    EXPECT_STREQ(scripted, "Zaj\xEAte");
    EXPECT_EQ(FPD_GetErrorString(kBadSerialSettings, "pl"), nullptr);
  }
  FPD_DestroyDeviceHandle(FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL));
  EXPECT_STREQ(scripted, "Zaj\xEAte"); // still valid after the script changed
  EXPECT_EQ(FPD_GetErrorString(kBadSerialSettings, "pl"), text);
}

TEST(Trace, WritesEveryCallWithStableNames) {
  TraceWatch watch;
  DeviceHandle handle = FPD_CreateDeviceHandle(FPD_DEVICE_SERIAL);
  FPD_SetDebugLevel(handle, -2);
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, "COM1,9600,8,N,1,H");
  Device device = FPD_OpenDevice(handle);
  const int32_t level = 5;
  FPD_SetDeviceParam(handle, FPD_PARAM_2000A, &level);
  int32_t g, p;
  FPD_GetPrnDeviceStatus(device, 1, &g, &p);
  // "Łóź" in code page 1250
  Request request = FPD_CreateRequestEx(device, "formline", "tx,\xA3\xF3\x9F");
  FPD_PushRequestParam(request, "x", "a\"b\\c\td\ne");
  FPD_PostRequest(request, 7);
  FPD_DestroyRequest(request);
  FPD_DestroyRequest(request);
  FPD_GetError(nullptr);
  FPD_GetErrorString(12345, "pl");
  FPD_CloseDevice(device);
  FPD_DestroyDeviceHandle(handle);
  const std::vector<std::string> lines = watch.lines();
  ASSERT_EQ(lines.size(), 15u);
  const std::string h = lines[0].substr(lines[0].find("= ") + 2);  // handleN
  const std::string d = lines[3].substr(lines[3].find("= ") + 2);  // deviceN
  const std::string r = lines[6].substr(lines[6].rfind("= ") + 2); // requestN
  EXPECT_EQ(h.rfind("handle", 0), 0u);
  EXPECT_EQ(d.rfind("device", 0), 0u);
  EXPECT_EQ(r.rfind("request", 0), 0u);
  const std::vector<std::string> expected = {
      "FPD_CreateDeviceHandle(1) = " + h,
      "FPD_SetDebugLevel(" + h + ", -2) = 0",
      "FPD_SetDeviceParam(" + h +
          ", FPD_PARAM_COM_SETTINGS, \"COM1,9600,8,N,1,H\") = 0",
      "FPD_OpenDevice(" + h + ") = " + d,
      "FPD_SetDeviceParam(" + h + ", FPD_PARAM_2000A, 5) = 0",
      "FPD_GetPrnDeviceStatus(" + d + ", 1) = 0 -> 0, 0",
      "FPD_CreateRequestEx(" + d +
          ", \"formline\", \"tx,\xC5\x81\xC3\xB3\xC5\xBA\") = " + r,
      "FPD_PushRequestParam(" + r + ", \"x\", \"a\\\"b\\\\c\\x09d\\ne\") = 0",
      "FPD_PostRequest(" + r + ", 7) = 65537",
      "FPD_DestroyRequest(" + r + ") = 0",
      "FPD_DestroyRequest(invalid) = 65538",
      "FPD_GetError(null) = 0",
      "FPD_GetErrorString(12345, \"pl\") = null",
      "FPD_CloseDevice(" + d + ") = 0",
      "FPD_DestroyDeviceHandle(" + h + ") = 0",
  };
  EXPECT_EQ(lines, expected);
}

} // namespace
} // namespace talmer_test
