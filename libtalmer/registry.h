// The live handles of the library. A handle given to the caller is a token
// that is never reused and never dereferenced: every call looks it up here
// first, so a null, destroyed or foreign pointer is simply not found.
#pragma once

#include "engine/device.h"
#include "engine/script.h"
#include "libtalmer/inside.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace talmer {

/// A DeviceHandle: the settings, guarded by its own lock.
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
  std::shared_ptr<const Script> script;
  std::shared_ptr<DeviceCore> device; ///< while open
  void *deviceToken = nullptr;
};

using HandlePtr = std::shared_ptr<HandleState>;
using DevicePtr = std::shared_ptr<DeviceCore>;

struct RequestRef {
  DevicePtr device;
  RequestPtr request;
};

namespace registry {

void *addHandle(HandlePtr handle);
void *addDevice(DevicePtr device, const HandlePtr &handle);
/// Registers a request of a device and gives it its serial number.
void *addRequest(const DevicePtr &device, const RequestPtr &request);
/// The token of a registered request (its serial number).
void *requestToken(const RequestState &request);

HandlePtr findHandle(const void *token);
DevicePtr findDevice(const void *token);
/// The handle that a device was opened from, if it is still alive.
HandlePtr handleOfDevice(const void *token);
std::optional<RequestRef> findRequest(const void *token);

HandlePtr removeHandle(const void *token);
/// Removes the device and every request made from it.
DevicePtr removeDevice(const void *token);
void removeRequest(const void *token);

/// "handle1", "device1", "request1"; "null"; "invalid" for no live handle.
std::string nameOf(const void *token);
/// "event1" for a device's event object; "null".
std::string eventName(const void *event);

} // namespace registry
} // namespace talmer
