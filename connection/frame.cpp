#include "connection/frame.h"

#include "platform/console.h"
#include "platform/platform.h"

#include <cstring>

namespace frame {
namespace {

const char kDefaultComSettings[] = "COM1,9600,8,N,1,H";

// The value of FPD_PARAM_2000A, given by address; it lives until the program
// ends.
std::int32_t pi = 5;

bool is(const char *argument, const char *word) {
  return std::strcmp(argument, word) == 0;
}

unsigned long asHex(ErrorCode code) {
  return static_cast<unsigned long>(static_cast<std::uint32_t>(code));
}

void printUsage() {
  console::write("Usage: demo_XXXXX [ SERIAL | USB ] [ com_settings | usb_serial "
                 "com_settings] \n");
  console::writeLine(
      "Defaults to SERIAL. Default params : SERIAL: COM1,8,N,1,H  , USB '' ");
}

// Reads the USB listing and prints it; false when it can't be read.
bool listUsbDevices(DeviceHandle handle) {
  char listing[FPD_USB_DEVICES_SIZE] = {};
  const ErrorCode error = FPD_GetDeviceParam(handle, FPD_PARAM_USB_DEVICES, listing);
  if (error != 0) {
    console::print("Error listing USB serial numbers: 0x%lx\n", asHex(error));
    return false;
  }
  // The text is printed as the library left it, but never read past the
  // buffer, whatever the library wrote.
  listing[sizeof listing - 1] = '\0';
  console::print("Devices: %s\n", listing);
  return true;
}

} // namespace

bool startSockets() {
  if (platform::startSockets()) return true;
  platform::showErrorBox("WSAStartup failed!", "Error");
  return false;
}

DeviceHandle createHandle(DeviceType type) {
  DeviceHandle handle = FPD_CreateDeviceHandle(type);
  if (handle == nullptr) {
    console::writeLine("Could not create a device.");
    return nullptr;
  }
  FPD_SetDebugLevel(handle, -2);
  return handle;
}

void reportError(const char *prefix, DeviceHandle handle) {
  const ErrorCode error = FPD_GetError(handle);
  const char *text = FPD_GetErrorString(error, "pl");
  console::print("%s%lx %s\n", prefix, asHex(error), text != nullptr ? text : "");
}

Device open(DeviceHandle handle) {
  Device device = FPD_OpenDevice(handle);
  if (device == nullptr) reportError("Error Opening device: 0x", handle);
  return device;
}

void setNotificationLevel(DeviceHandle handle) {
  FPD_SetDeviceParam(handle, FPD_PARAM_2000A, &pi);
}

void close(DeviceHandle handle, Device device) {
  FPD_CloseDevice(device);
  FPD_DestroyDeviceHandle(handle);
}

int run(int argc, char **argv, Body body, NotificationLevelBy levelBy) {
  if (!startSockets()) return kExitOk;

  DeviceType type = FPD_DEVICE_SERIAL;
  const char *usbser = "";
  const char *comparams = kDefaultComSettings;
  if (argc > 2) {
    if (is(argv[1], "USB")) {
      usbser = argv[2];
      if (argc > 3) comparams = argv[3];
      type = FPD_DEVICE_USB;
    } else if (is(argv[1], "SERIAL")) {
      comparams = argv[2];
    }
  } else if (argc == 2 && is(argv[1], "help")) {
    printUsage();
    return kExitUsage;
  }

  DeviceHandle handle = createHandle(type);
  if (handle == nullptr) return kExitNoHandle;
  if (type == FPD_DEVICE_USB) {
    if (!listUsbDevices(handle)) return kExitUsbListing;
    FPD_SetDeviceParam(handle, FPD_PARAM_USB_SERIAL, usbser);
  }
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, comparams);

  Device device = open(handle);
  if (device == nullptr) return kExitOpenFailed;
  if (levelBy == NotificationLevelBy::Frame) setNotificationLevel(handle);
  body(handle, device);
  close(handle, device);
  return kExitOk;
}

} // namespace frame
