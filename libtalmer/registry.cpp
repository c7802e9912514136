#include "libtalmer/registry.h"

#include <map>

namespace talmer::registry {
namespace {

enum class Kind : std::uintptr_t { Handle = 1, Device = 2, Request = 3 };

// Tokens: the kind in the high bits, a serial number below; never reused.
constexpr unsigned kKindShift = sizeof(void *) == 8 ? 40 : 28;

std::uintptr_t tokenOf(Kind kind, std::uint32_t serial) {
  return (static_cast<std::uintptr_t>(kind) << kKindShift) +
         static_cast<std::uintptr_t>(serial) * 8;
}

struct DeviceEntry {
  DevicePtr device;
  std::weak_ptr<HandleState> handle;
  std::uint32_t serial = 0;
  std::uint32_t eventSerial = 0;
};

struct RequestEntry {
  RequestRef ref;
  std::uint32_t serial = 0;
  std::weak_ptr<HandleState> handle;
};

struct Registry {
  std::mutex mutex;
  std::uint32_t handles = 0, devices = 0, requests = 0, events = 0;
  std::map<std::uintptr_t, std::pair<HandlePtr, std::uint32_t>> handleEntries;
  std::map<std::uintptr_t, DeviceEntry> deviceEntries;
  std::map<std::uintptr_t, RequestEntry> requestEntries;
  std::map<std::pair<const OpenDevice *, RequestId>, std::uintptr_t> requestTokens;
};

// Never destroyed: worker threads of devices left open may outlive static
// destruction at exit.
Registry &instance() {
  static Registry *const registry = new Registry;
  return *registry;
}

std::uintptr_t key(const void *token) {
  return reinterpret_cast<std::uintptr_t>(token);
}
void *pointer(std::uintptr_t token) {
  return reinterpret_cast<void *>(token);
}

} // namespace

void *addHandle(HandlePtr handle) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  const std::uint32_t serial = ++r.handles;
  const std::uintptr_t token = tokenOf(Kind::Handle, serial);
  r.handleEntries[token] = {std::move(handle), serial};
  return pointer(token);
}

void *addDevice(DevicePtr device, const HandlePtr &handle) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  DeviceEntry entry;
  entry.serial = ++r.devices;
  if (device->event != nullptr) entry.eventSerial = ++r.events;
  entry.device = std::move(device);
  entry.handle = handle;
  const std::uintptr_t token = tokenOf(Kind::Device, entry.serial);
  r.deviceEntries[token] = std::move(entry);
  return pointer(token);
}

void *addRequest(const DevicePtr &device, RequestId id) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  const std::uint32_t serial = ++r.requests;
  const std::uintptr_t token = tokenOf(Kind::Request, serial);
  std::weak_ptr<HandleState> handle;
  for (const auto &[key, entry] : r.deviceEntries)
    if (entry.device == device) handle = entry.handle;
  r.requestEntries[token] = {{device, id}, serial, handle};
  r.requestTokens[{device.get(), id}] = token;
  return pointer(token);
}

void *requestToken(const DevicePtr &device, RequestId id) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.requestTokens.find({device.get(), id});
  return found == r.requestTokens.end() ? nullptr : pointer(found->second);
}

HandlePtr findHandle(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.handleEntries.find(key(token));
  return found == r.handleEntries.end() ? nullptr : found->second.first;
}

DevicePtr findDevice(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.deviceEntries.find(key(token));
  return found == r.deviceEntries.end() ? nullptr : found->second.device;
}

HandlePtr handleOfDevice(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.deviceEntries.find(key(token));
  return found == r.deviceEntries.end() ? nullptr : found->second.handle.lock();
}

HandlePtr handleOfRequest(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.requestEntries.find(key(token));
  return found == r.requestEntries.end() ? nullptr : found->second.handle.lock();
}

std::optional<RequestRef> findRequest(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.requestEntries.find(key(token));
  if (found == r.requestEntries.end()) return std::nullopt;
  return found->second.ref;
}

HandlePtr removeHandle(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.handleEntries.find(key(token));
  if (found == r.handleEntries.end()) return nullptr;
  HandlePtr handle = std::move(found->second.first);
  r.handleEntries.erase(found);
  return handle;
}

DevicePtr removeDevice(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.deviceEntries.find(key(token));
  if (found == r.deviceEntries.end()) return nullptr;
  DevicePtr device = std::move(found->second.device);
  r.deviceEntries.erase(found);
  for (auto it = r.requestEntries.begin(); it != r.requestEntries.end();) {
    if (it->second.ref.device == device) {
      r.requestTokens.erase({device.get(), it->second.ref.id});
      it = r.requestEntries.erase(it);
    } else {
      ++it;
    }
  }
  return device;
}

void removeRequest(const void *token) {
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto found = r.requestEntries.find(key(token));
  if (found == r.requestEntries.end()) return;
  r.requestTokens.erase({found->second.ref.device.get(), found->second.ref.id});
  r.requestEntries.erase(found);
}

std::string nameOf(const void *token) {
  if (token == nullptr) return "null";
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (auto h = r.handleEntries.find(key(token)); h != r.handleEntries.end())
    return "handle" + std::to_string(h->second.second);
  if (auto d = r.deviceEntries.find(key(token)); d != r.deviceEntries.end())
    return "device" + std::to_string(d->second.serial);
  if (auto q = r.requestEntries.find(key(token)); q != r.requestEntries.end())
    return "request" + std::to_string(q->second.serial);
  return "invalid";
}

std::string eventName(const void *event) {
  if (event == nullptr) return "null";
  Registry &r = instance();
  std::lock_guard<std::mutex> lock(r.mutex);
  for (const auto &[token, entry] : r.deviceEntries)
    if (entry.device->event == event)
      return "event" + std::to_string(entry.eventSerial);
  return "invalid";
}

} // namespace talmer::registry
