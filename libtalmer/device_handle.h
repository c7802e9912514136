// A DeviceHandle and the device opened from it: the handle's parameters, the
// opening of its printer (embedded, or a printer process across the link),
// the notifications and event object of the open device, and the modem
// settings.
#pragma once

#include "connection/talmer.h"
#include "engine/engine.h"
#include "engine/notifications.h"
#include "engine/script.h"
#include "engine/session.h"
#include "libtalmer/environment.h"
#include "libtalmer/inside.h"
#include "platform/platform.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace talmer {

/// An open device: the program's session with its printer, and how that
/// printer's status changes reach the program.
struct OpenDevice {
  std::shared_ptr<Engine> engine; ///< the embedded printer; none across the link
  std::unique_ptr<Session> session;
  std::unique_ptr<Notifications> notifications;
  platform::Event event = nullptr; ///< null when the script says "event none"

  OpenDevice() = default;
  ~OpenDevice();
  OpenDevice(const OpenDevice &) = delete;
  OpenDevice &operator=(const OpenDevice &) = delete;

  /// Ends the session and the notifications and switches an embedded printer
  /// off. Idempotent. May be called from the status callback.
  void close();
};

/// A DeviceHandle's settings, guarded by its own lock.
struct HandleState {
  std::mutex mutex;
  std::int32_t type = FPD_DEVICE_SERIAL;
  std::string comSettings;
  std::string usbSerial;
  std::string modemInit;
  std::string modemDial;
  std::optional<std::int32_t> notifyLevel; ///< FPD_PARAM_2000A
  std::uint8_t modemFlag = 0;              ///< FPD_PARAM_2000B
  std::int32_t debugLevel = 0;
  std::int32_t lastError = 0;
  Environment environment; ///< as it was when the handle was made
  std::shared_ptr<const Script> script;
  std::string scriptText;             ///< for a printer process, which follows it too
  std::shared_ptr<OpenDevice> device; ///< while open
  void *deviceToken = nullptr;
};

using HandlePtr = std::shared_ptr<HandleState>;
using DevicePtr = std::shared_ptr<OpenDevice>;

/// The size of the buffer of a text parameter.
constexpr std::size_t kTextParamSize = FPD_USB_DEVICES_SIZE;

/// True for the parameters whose value is a text.
bool isTextParam(std::uint32_t id);

/// FPD_SetDeviceParam on a live handle with a value that isn't null.
std::int32_t setParam(HandleState &h, std::uint32_t id, const void *value);

/// FPD_GetDeviceParam: the text of a text parameter, or the number.
std::int32_t getParam(HandleState &h, std::uint32_t id, std::string *text,
                      std::int32_t *number);

/// FPD_OpenDevice on a live handle without an open device: null with *error.
DevicePtr openDevice(HandleState &h, std::int32_t *error);

ModemSettings modemSettings(HandleState &h);

/// The handle's open device, or null.
DevicePtr deviceOf(HandleState &h);

} // namespace talmer
