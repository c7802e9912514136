// modem_link: reaches the printer through a modem on a serial port, and
// either dials the connection (DIAL) or waits until it comes in (RECEIVE).
#include "connection/frame.h"
#include "connection/talmer.h"
#include "platform/console.h"
#include "platform/platform.h"

#include <cstring>

namespace {

enum class Mode { Dial, Receive };

/// The settings of the command line. The texts point into argv or at
/// literals, so they stay alive and unchanged until the program ends.
struct ModemSettings {
  Mode mode = Mode::Receive;
  const char *comparams = "COM1,57600,8,N,1,H";
  const char *atdial = "ATDT!";
  const char *atinit = "AT&S0=0";
};

/// The value of FPD_PARAM_2000B: the device is reached through a modem.
const unsigned char modemFlag = 1;

const unsigned kPollPauseMs = 1000;

void printUsage() {
  console::write("Usage: modem_link [[DIAL|RECEIVE] [com_settings [modem_dial_string "
                 "[modem_init_string]]]] \n");
  console::writeLine("Defaults to RECEIVE. Default params : com_settings = "
                     "COM1,57600,8,N,1,H  modem_dial_string=ATDT! "
                     "modem_init_string=AT&S0=0");
}

/// Arguments by position: mode, serial settings, dial string, initialisation
/// string; later ones are ignored. Only "DIAL" exactly selects dialling.
ModemSettings readCommandLine(int argc, char **argv) {
  ModemSettings settings;
  if (std::strcmp(argv[1], "DIAL") == 0) settings.mode = Mode::Dial;
  if (argc > 2) settings.comparams = argv[2];
  if (argc > 3) settings.atdial = argv[3];
  if (argc > 4) settings.atinit = argv[4];
  return settings;
}

void configure(DeviceHandle handle, const ModemSettings &settings) {
  FPD_SetDeviceParam(handle, FPD_PARAM_COM_SETTINGS, settings.comparams);
  FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_INIT, settings.atinit);
  FPD_SetDeviceParam(handle, FPD_PARAM_MODEM_DIAL, settings.atdial);
  FPD_SetDeviceParam(handle, FPD_PARAM_2000B, &modemFlag);
}

/// Dials once; on failure reports it and gives false.
bool dial(DeviceHandle handle) {
  if (FPD_ModemDial(handle, 1) == 0) return true;
  frame::reportError("Error Dialing device: 0x", handle);
  return false;
}

/// Asks for the modem status once a second until the call has come in.
void waitForConnection(DeviceHandle handle) {
  while (FPD_ModemStatus(handle) != FPD_MODEM_CONNECTED)
    platform::sleepMs(kPollPauseMs);
}

} // namespace

int main(int argc, char **argv) {
  if (!frame::startSockets()) return frame::kExitOk;
  if (argc < 2) {
    printUsage();
    return frame::kExitUsage;
  }
  const ModemSettings settings = readCommandLine(argc, argv);

  DeviceHandle handle = frame::createHandle(FPD_DEVICE_SERIAL);
  if (handle == nullptr) return frame::kExitNoHandle;
  configure(handle, settings);
  Device device = frame::open(handle);
  if (device == nullptr) return frame::kExitOpenFailed;

  int exitCode = frame::kExitOk;
  if (settings.mode == Mode::Dial) {
    if (!dial(handle)) exitCode = frame::kExitOpenFailed;
  } else {
    waitForConnection(handle);
  }
  frame::close(handle, device);
  return exitCode;
}
