// The live handles of the library. A handle given to the caller is a token
// that is never reused and never dereferenced: every call looks it up here
// first, so a null, destroyed or foreign pointer is simply not found.
#pragma once

#include "engine/session.h"
#include "libtalmer/device_handle.h"
#include "libtalmer/inside.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace talmer {

/// A live request: the device it was made on and its id in that device's
/// session.
struct RequestRef {
  DevicePtr device;
  RequestId id = 0;
};

namespace registry {

void *addHandle(HandlePtr handle);
void *addDevice(DevicePtr device, const HandlePtr &handle);
/// Registers a request of a device.
void *addRequest(const DevicePtr &device, RequestId id);
/// The token of a registered request, or null.
void *requestToken(const DevicePtr &device, RequestId id);

HandlePtr findHandle(const void *token);
DevicePtr findDevice(const void *token);
/// The handle that a device was opened from, if it is still alive.
HandlePtr handleOfDevice(const void *token);
/// The handle of the device that a request belongs to.
HandlePtr handleOfRequest(const void *token);
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
