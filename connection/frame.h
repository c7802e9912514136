// The start-up and closing that the programs share: socket start-up, the
// command line, creating, configuring and opening the device, the opening
// error report, the body, the closing and the exit codes.
#pragma once

#include "connection/talmer.h"

namespace frame {

/// The program's exit codes.
enum ExitCode {
  kExitOk = 0,         ///< normal end; also a failed socket start-up
  kExitUsage = 1,      ///< "help" was asked for
  kExitNoHandle = 2,   ///< FPD_CreateDeviceHandle gave null
  kExitOpenFailed = 4, ///< FPD_OpenDevice gave null (modem_link: dialling)
  kExitUsbListing = 5, ///< the USB listing failed
};

/// Where FPD_PARAM_2000A is given its value 5: by the frame right after
/// opening, or by the body itself (setNotificationLevel).
enum class NotificationLevelBy { Frame, Body };

/// What a program runs between opening and closing.
using Body = void (*)(DeviceHandle handle, Device device);

/// Runs a program of the shared command line: `help`, `SERIAL settings` or
/// `USB serial [settings]`. Returns the exit code for main.
int run(int argc, char **argv, Body body, NotificationLevelBy levelBy);

/// FPD_SetDeviceParam(handle, FPD_PARAM_2000A, address of 5); the value
/// lives until the program ends.
void setNotificationLevel(DeviceHandle handle);

// The pieces that modem_link shares.

/// WSAStartup 2.0; on failure shows the "WSAStartup failed!" box and
/// returns false (the program then ends with kExitOk).
bool startSockets();

/// FPD_CreateDeviceHandle and FPD_SetDebugLevel(-2); on null prints
/// "Could not create a device." and returns null.
DeviceHandle createHandle(DeviceType type);

/// FPD_OpenDevice; on null prints the opening error report and returns null.
Device open(DeviceHandle handle);

/// Prints prefix, the code of FPD_GetError(handle) in hexadecimal, a blank
/// and its Polish description if there is one, and a line end.
void reportError(const char *prefix, DeviceHandle handle);

/// FPD_CloseDevice, then FPD_DestroyDeviceHandle.
void close(DeviceHandle handle, Device device);

} // namespace frame
