// The device library's C boundary (connection/talmer.h). Every function
// checks its arguments first, against the registry of live handles, and ends
// through its Call, which writes the trace line and the diagnostics on every
// exit. The work is done by the handle (device_handle.cpp) and by the open
// device's session.
#include "connection/talmer.h"
#include "engine/script.h"
#include "engine/status_codes.h"
#include "libtalmer/call.h"
#include "libtalmer/device_handle.h"
#include "libtalmer/environment.h"
#include "libtalmer/registry.h"
#include "libtalmer/trace.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>

namespace {

using namespace talmer;

/// The script that FPD_GetErrorString consults: the one read last.
struct Descriptions {
  std::mutex mutex;
  std::shared_ptr<const Script> script;
  std::set<std::string> texts; ///< returned texts, kept until the process ends
};

Descriptions &descriptions() {
  static Descriptions *const instance = new Descriptions;
  return *instance;
}

/// The script that TALMER_SIM_SCRIPT names (an empty one when it is unset),
/// or null when it can't be used, said on standard error; its text too.
std::shared_ptr<const Script> loadHandleScript(const Environment &environment,
                                               std::string *text = nullptr) {
  if (environment.scriptPath.empty()) return std::make_shared<const Script>();
  std::vector<std::string> errors;
  std::shared_ptr<const Script> script =
      loadScript(environment.scriptPath, &errors, text);
  for (const std::string &error : errors)
    warn("TALMER_SIM_SCRIPT " + environment.scriptPath + ": " + error);
  return script;
}

void rememberForDescriptions(std::shared_ptr<const Script> script) {
  Descriptions &d = descriptions();
  std::lock_guard<std::mutex> lock(d.mutex);
  d.script = std::move(script);
}

const char *describe(ErrorCode code) {
  Descriptions &d = descriptions();
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.script) d.script = loadHandleScript(readEnvironment());
  if (d.script) {
    auto found = d.script->descriptions.find(code);
    if (found != d.script->descriptions.end())
      return found->second ? d.texts.insert(*found->second).first->c_str() : nullptr;
  }
  return describeStatus(code);
}

/// Copies text into a buffer of size bytes, cut to fit, always terminated.
std::string copyOut(const std::string &text, char *buffer, std::size_t size) {
  if (size == 0) return std::string();
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return text.substr(0, length);
}

std::string name(const void *token) {
  return registry::nameOf(token);
}

std::string traceParamValue(std::uint32_t id, const void *value) {
  if (value == nullptr) return "null";
  if (isTextParam(id)) {
    const char *text = static_cast<const char *>(value);
    return trace::quote(std::string(text, strnlen(text, kTextParamSize - 1)));
  }
  if (id == FPD_PARAM_2000A) {
    std::int32_t number;
    std::memcpy(&number, value, sizeof number);
    return std::to_string(number);
  }
  if (id == FPD_PARAM_2000B)
    return std::to_string(*static_cast<const std::uint8_t *>(value));
  return "?";
}

void closeDevice(const void *token) {
  const HandlePtr handle = registry::handleOfDevice(token);
  const DevicePtr device = registry::removeDevice(token);
  if (!device) return;
  device->close();
  if (handle) {
    std::lock_guard<std::mutex> lock(handle->mutex);
    if (handle->device == device) {
      handle->device.reset();
      handle->deviceToken = nullptr;
    }
  }
}

Request createRequest(Call &call, Device device, const char *requestName,
                      const std::optional<std::string> &paramList) {
  const DevicePtr d = registry::findDevice(device);
  if (!d) return static_cast<Request>(call.failsWithNull(kInvalidHandle));
  call.on(registry::handleOfDevice(device));
  if (requestName == nullptr)
    return static_cast<Request>(call.failsWithNull(kInvalidArgument));
  const RequestId id = d->session->create(requestName, paramList);
  if (id == 0) return static_cast<Request>(call.failsWithNull(d->session->lastError()));
  return static_cast<Request>(call.returnsHandle(registry::addRequest(d, id)));
}

bool validPostMode(std::int32_t mode) {
  return mode == FPD_POST_NORMAL || mode == FPD_POST_SPOOLSPECIAL;
}

bool validEventMode(std::int32_t mode) {
  return mode == FPD_EVENTS_EVENT_OBJECT || mode == FPD_EVENTS_CALLBACK;
}

} // namespace

extern "C" {

// ---- Device handle --------------------------------------------------------------

TALMER_API DeviceHandle FPD_CreateDeviceHandle(DeviceType deviceType) {
  Call call("FPD_CreateDeviceHandle", [&] { return std::to_string(deviceType); });
  if (deviceType != FPD_DEVICE_SERIAL && deviceType != FPD_DEVICE_USB)
    return static_cast<DeviceHandle>(call.failsWithNull(kInvalidArgument));
  auto handle = std::make_shared<HandleState>();
  handle->type = deviceType;
  handle->environment = readEnvironment();
  handle->script = loadHandleScript(handle->environment, &handle->scriptText);
  if (!handle->script)
    return static_cast<DeviceHandle>(call.failsWithNull(kInvalidArgument));
  rememberForDescriptions(handle->script);
  if (handle->script->handleFail)
    return static_cast<DeviceHandle>(call.failsWithNull(kDeviceOpenFailed));
  return static_cast<DeviceHandle>(call.returnsHandle(registry::addHandle(handle)));
}

TALMER_API ErrorCode FPD_DestroyDeviceHandle(DeviceHandle handle) {
  Call call("FPD_DestroyDeviceHandle", [&] { return name(handle); });
  const HandlePtr h = registry::removeHandle(handle);
  if (!h) return call.returns(kInvalidHandle);
  call.on(h);
  void *device;
  {
    std::lock_guard<std::mutex> lock(h->mutex);
    device = h->deviceToken;
  }
  // A device still open is closed with its handle.
  if (device != nullptr) closeDevice(device);
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_SetDebugLevel(DeviceHandle handle, int32_t level) {
  Call call("FPD_SetDebugLevel",
            [&] { return name(handle) + ", " + std::to_string(level); });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return call.returns(kInvalidHandle);
  {
    std::lock_guard<std::mutex> lock(h->mutex);
    h->debugLevel = level;
  }
  Call::setDefaultDebugLevel(level);
  call.on(h);
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_SetDeviceParam(DeviceHandle handle, uint32_t id,
                                        const void *value) {
  Call call("FPD_SetDeviceParam", [&] {
    return name(handle) + ", " + trace::paramName(id) + ", " +
           traceParamValue(id, value);
  });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return call.returns(kInvalidHandle);
  call.on(h);
  if (value == nullptr) return call.returns(kInvalidArgument);
  return call.returns(setParam(*h, id, value));
}

TALMER_API ErrorCode FPD_GetDeviceParam(DeviceHandle handle, uint32_t id,
                                        void *buffer) {
  Call call("FPD_GetDeviceParam",
            [&] { return name(handle) + ", " + trace::paramName(id); });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return call.returns(kInvalidHandle);
  call.on(h);
  if (buffer == nullptr) return call.returns(kInvalidArgument);
  std::string text;
  std::int32_t number = 0;
  const ErrorCode code = getParam(*h, id, &text, &number);
  if (code != kOk) return call.returns(code);
  if (id == FPD_PARAM_2000B) {
    *static_cast<std::uint8_t *>(buffer) = static_cast<std::uint8_t>(number);
    call.wrote([&] { return std::to_string(number); });
  } else if (id == FPD_PARAM_2000A) {
    std::memcpy(buffer, &number, sizeof number);
    call.wrote([&] { return std::to_string(number); });
  } else {
    const std::string written =
        copyOut(text, static_cast<char *>(buffer), kTextParamSize);
    call.wrote([&] { return trace::quote(written); });
  }
  return call.returns(kOk);
}

TALMER_API Device FPD_OpenDevice(DeviceHandle handle) {
  Call call("FPD_OpenDevice", [&] { return name(handle); });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return static_cast<Device>(call.failsWithNull(kInvalidHandle));
  call.on(h);
  ErrorCode error = kOk;
  DevicePtr device;
  if (deviceOf(*h))
    error = kAlreadyOpen;
  else
    device = openDevice(*h, &error);
  Device token = nullptr;
  if (device) token = static_cast<Device>(registry::addDevice(device, h));
  {
    std::lock_guard<std::mutex> lock(h->mutex);
    h->lastError = error;
    if (device) {
      h->device = device;
      h->deviceToken = token;
    }
  }
  if (!device) return static_cast<Device>(call.failsWithNull(error));
  return static_cast<Device>(call.returnsHandle(token));
}

TALMER_API ErrorCode FPD_CloseDevice(Device device) {
  Call call("FPD_CloseDevice", [&] { return name(device); });
  if (!registry::findDevice(device)) return call.returns(kInvalidHandle);
  call.on(registry::handleOfDevice(device));
  closeDevice(device);
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_GetError(void *handleOrDevice) {
  Call call("FPD_GetError", [&] { return name(handleOrDevice); });
  if (const HandlePtr h = registry::findHandle(handleOrDevice)) {
    std::lock_guard<std::mutex> lock(h->mutex);
    return call.answers(h->lastError);
  }
  if (const DevicePtr d = registry::findDevice(handleOrDevice))
    return call.answers(d->session->lastError());
  return call.answers(kOk);
}

TALMER_API const char *FPD_GetErrorString(ErrorCode code, const char *language) {
  Call call("FPD_GetErrorString",
            [&] { return std::to_string(code) + ", " + trace::quote(language); });
  if (language == nullptr || std::strcmp(language, "pl") != 0)
    return call.returnsText(nullptr);
  return call.returnsText(describe(code));
}

// ---- Modem ----------------------------------------------------------------------

TALMER_API ErrorCode FPD_ModemDial(DeviceHandle handle, int32_t mode) {
  Call call("FPD_ModemDial",
            [&] { return name(handle) + ", " + std::to_string(mode); });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return call.returns(kInvalidHandle);
  call.on(h);
  const DevicePtr device = deviceOf(*h);
  ErrorCode code = kOk;
  if (!device)
    code = kNotOpen;
  else if (mode != 1)
    code = kInvalidArgument;
  else
    code = device->session->modemDial(modemSettings(*h));
  std::lock_guard<std::mutex> lock(h->mutex);
  h->lastError = code;
  return call.returns(code);
}

TALMER_API int32_t FPD_ModemStatus(DeviceHandle handle) {
  Call call("FPD_ModemStatus", [&] { return name(handle); });
  const HandlePtr h = registry::findHandle(handle);
  if (!h) return call.failsWithNumber(-1, kInvalidHandle);
  call.on(h);
  const DevicePtr device = deviceOf(*h);
  if (!device) return call.failsWithNumber(-1, kNotOpen);
  const std::int32_t state = device->session->modemStatus(modemSettings(*h));
  if (state < 0) return call.failsWithNumber(state, kNotAModem);
  return call.returnsNumber(state);
}

// ---- Printer status and notifications
// -------------------------------------------------

TALMER_API ErrorCode FPD_GetPrnDeviceStatus(Device device, int32_t mode,
                                            int32_t *globalStatus,
                                            int32_t *printerStatus) {
  Call call("FPD_GetPrnDeviceStatus",
            [&] { return name(device) + ", " + std::to_string(mode); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return call.returns(kInvalidHandle);
  call.on(registry::handleOfDevice(device));
  if (globalStatus == nullptr || printerStatus == nullptr || mode < 0 || mode > 1)
    return call.returns(kInvalidArgument);
  StatusPair pair;
  const ErrorCode code = d->session->printerStatus(&pair);
  if (code != kOk) return call.returns(code);
  *globalStatus = pair.global;
  *printerStatus = pair.printer;
  call.wrote([&] {
    return std::to_string(pair.global) + ", " + std::to_string(pair.printer);
  });
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_SetEventHandlingMode(Device device, int32_t mode) {
  Call call("FPD_SetEventHandlingMode",
            [&] { return name(device) + ", " + trace::eventModeName(mode); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return call.returns(kInvalidHandle);
  call.on(registry::handleOfDevice(device));
  if (!validEventMode(mode)) return call.returns(kInvalidArgument);
  d->notifications->setMode(mode);
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_SetCallback(Device device, FPD_StatusCallback onStatus) {
  Call call("FPD_SetCallback",
            [&] { return name(device) + ", " + (onStatus ? "function" : "null"); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return call.returns(kInvalidHandle);
  call.on(registry::handleOfDevice(device));
  d->notifications->setCallback(onStatus);
  return call.returns(kOk);
}

TALMER_API void *FPD_GetEvent(Device device) {
  Call call("FPD_GetEvent", [&] { return name(device); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return call.failsWithNull(kInvalidHandle);
  return call.returnsEvent(d->event);
}

// ---- Requests ---------------------------------------------------------------------

TALMER_API Request FPD_CreateRequest(Device device, const char *requestName) {
  Call call("FPD_CreateRequest",
            [&] { return name(device) + ", " + trace::quote(requestName); });
  return createRequest(call, device, requestName, std::nullopt);
}

TALMER_API Request FPD_CreateRequestEx(Device device, const char *requestName,
                                       const char *paramList) {
  Call call("FPD_CreateRequestEx", [&] {
    return name(device) + ", " + trace::quote(requestName) + ", " +
           trace::quote(paramList);
  });
  // A missing list is an empty one, which is malformed.
  return createRequest(call, device, requestName,
                       paramList != nullptr ? std::string(paramList) : std::string());
}

TALMER_API ErrorCode FPD_PushRequestParam(Request request, const char *key,
                                          const char *value) {
  Call call("FPD_PushRequestParam", [&] {
    return name(request) + ", " + trace::quote(key) + ", " + trace::quote(value);
  });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  if (key == nullptr || value == nullptr || *key == '\0')
    return call.returns(kInvalidArgument);
  return call.returns(r->device->session->push(r->id, key, value));
}

TALMER_API ErrorCode FPD_PostRequest(Request request, int32_t mode) {
  Call call("FPD_PostRequest",
            [&] { return name(request) + ", " + trace::postModeName(mode); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  if (!validPostMode(mode)) return call.returns(kInvalidArgument);
  return call.returns(r->device->session->post(r->id, mode));
}

TALMER_API ErrorCode FPD_WaitForRequestCompleted(Request request,
                                                 uint32_t milliseconds) {
  Call call("FPD_WaitForRequestCompleted",
            [&] { return name(request) + ", " + std::to_string(milliseconds); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  return call.returns(r->device->session->wait(r->id, milliseconds));
}

TALMER_API ErrorCode FPD_GetRequestStatus(Request request) {
  Call call("FPD_GetRequestStatus", [&] { return name(request); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  const ErrorCode status = r->device->session->status(r->id);
  // A completed request's status is the printer's answer, not a failure.
  return status == kNotCompleted ? call.returns(status) : call.answers(status);
}

TALMER_API ErrorCode FPD_GetResponseValue(Request request, const char *field,
                                          char *value, uint32_t size) {
  Call call("FPD_GetResponseValue", [&] {
    return name(request) + ", " + trace::quote(field) + ", " + std::to_string(size);
  });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  if (field == nullptr || (value == nullptr && size > 0))
    return call.returns(kInvalidArgument);
  std::string found;
  const ErrorCode code = r->device->session->responseValue(r->id, field, &found);
  if (code != kOk) return call.returns(code);
  const std::string written = copyOut(found, value, size);
  call.wrote([&] { return trace::quote(written); });
  return call.returns(kOk);
}

TALMER_API int32_t FPD_GetResponseValueCount(Request request) {
  Call call("FPD_GetResponseValueCount", [&] { return name(request); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.failsWithNumber(0, kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  return call.returnsNumber(r->device->session->responseValueCount(r->id));
}

TALMER_API ErrorCode FPD_PopResponseValue(Request request, char *fieldName, char *value,
                                          uint32_t size) {
  Call call("FPD_PopResponseValue",
            [&] { return name(request) + ", " + std::to_string(size); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  if (fieldName == nullptr || (value == nullptr && size > 0))
    return call.returns(kInvalidArgument);
  Field field;
  const ErrorCode code = r->device->session->popResponseValue(r->id, &field);
  if (code != kOk) return call.returns(code);
  const std::string writtenName =
      copyOut(field.name, fieldName, FPD_RESPONSE_NAME_SIZE);
  const std::string writtenValue = copyOut(field.value, value, size);
  call.wrote(
      [&] { return trace::quote(writtenName) + ", " + trace::quote(writtenValue); });
  return call.returns(kOk);
}

TALMER_API ErrorCode FPD_DestroyRequest(Request request) {
  Call call("FPD_DestroyRequest", [&] { return name(request); });
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (!r) return call.returns(kInvalidHandle);
  call.on(registry::handleOfRequest(request));
  registry::removeRequest(request);
  r->device->session->destroy(r->id);
  return call.returns(kOk);
}

// ---- Response queue
// -------------------------------------------------------------------

TALMER_API int32_t FPD_GetResponseCount(Device device) {
  Call call("FPD_GetResponseCount", [&] { return name(device); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return call.failsWithNumber(0, kInvalidHandle);
  call.on(registry::handleOfDevice(device));
  return call.returnsNumber(d->session->responseCount());
}

TALMER_API Request FPD_GetNextResponse(Device device) {
  Call call("FPD_GetNextResponse", [&] { return name(device); });
  const DevicePtr d = registry::findDevice(device);
  if (!d) return static_cast<Request>(call.failsWithNull(kInvalidHandle));
  call.on(registry::handleOfDevice(device));
  // An empty queue gives null, which is no failure.
  const RequestId id = d->session->nextResponse();
  return static_cast<Request>(
      call.returnsHandle(id == 0 ? nullptr : registry::requestToken(d, id)));
}

} // extern "C"
