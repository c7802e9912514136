// The device library's C interface (connection/talmer.h): each call checks
// its arguments against the registry of live handles, does its work through
// the device layer and writes its trace line.
#include "connection/talmer.h"
#include "engine/device.h"
#include "engine/script.h"
#include "engine/status_codes.h"
#include "libtalmer/registry.h"
#include "libtalmer/trace.h"
#include "platform/cp1250.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

using namespace talmer;

constexpr std::size_t kTextParamSize = FPD_USB_DEVICES_SIZE;
constexpr const char *kDefaultUsbListing = "VP0001";

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

std::shared_ptr<const Script> loadScript() {
  std::shared_ptr<const Script> script = loadScriptFromEnvironment();
  if (script) {
    Descriptions &d = descriptions();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.script = script;
  }
  return script;
}

const char *describe(ErrorCode code) {
  Descriptions &d = descriptions();
  std::lock_guard<std::mutex> lock(d.mutex);
  if (!d.script) d.script = loadScriptFromEnvironment();
  if (d.script) {
    auto found = d.script->descriptions.find(code);
    if (found != d.script->descriptions.end())
      return found->second ? d.texts.insert(*found->second).first->c_str() : nullptr;
  }
  return describeStatus(code);
}

void traceCall(const std::string &line) {
  if (trace::enabled()) trace::writeLine(line);
}

std::string result(ErrorCode code) {
  return " = " + std::to_string(code);
}

/// Writes a failed call on standard error: at debug level 0 the failures of
/// opening and dialling, at a positive level every failure.
void diagnose(const HandlePtr &handle, const char *call, ErrorCode code) {
  if (!handle || code == 0) return;
  std::int32_t level;
  {
    std::lock_guard<std::mutex> lock(handle->mutex);
    level = handle->debugLevel;
  }
  const bool serious = std::strcmp(call, "FPD_OpenDevice") == 0 ||
                       std::strcmp(call, "FPD_ModemDial") == 0;
  if (level < 0 || (level == 0 && !serious)) return;
  const char *text = describeStatus(code);
  std::fprintf(stderr, "libtalmer: %s: %d %s\n", call, code,
               text ? cp1250::toUtf8(text).c_str() : "");
}

/// Copies text into a buffer of size bytes, cut to fit, always terminated.
std::string copyOut(const std::string &text, char *buffer, std::size_t size) {
  if (size == 0) return std::string();
  const std::size_t length = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return text.substr(0, length);
}

std::string textParam(const void *value) {
  const char *text = static_cast<const char *>(value);
  return std::string(text, strnlen(text, kTextParamSize - 1));
}

bool isTextParam(std::uint32_t id) {
  return id == FPD_PARAM_COM_SETTINGS || id == FPD_PARAM_USB_SERIAL ||
         id == FPD_PARAM_MODEM_INIT || id == FPD_PARAM_MODEM_DIAL;
}

std::string traceParamValue(std::uint32_t id, const void *value) {
  if (value == nullptr) return "null";
  if (isTextParam(id)) return trace::quote(textParam(value));
  if (id == FPD_PARAM_2000A) {
    std::int32_t number;
    std::memcpy(&number, value, sizeof number);
    return std::to_string(number);
  }
  if (id == FPD_PARAM_2000B)
    return std::to_string(*static_cast<const std::uint8_t *>(value));
  return "?";
}

ErrorCode setParam(HandleState &h, std::uint32_t id, const void *value) {
  std::lock_guard<std::mutex> lock(h.mutex);
  switch (id) {
  case FPD_PARAM_COM_SETTINGS:
    h.comSettings = textParam(value);
    break;
  case FPD_PARAM_USB_SERIAL:
    h.usbSerial = textParam(value);
    break;
  case FPD_PARAM_MODEM_INIT:
    h.modemInit = textParam(value);
    break;
  case FPD_PARAM_MODEM_DIAL:
    h.modemDial = textParam(value);
    break;
  case FPD_PARAM_2000A: {
    std::int32_t level;
    std::memcpy(&level, value, sizeof level);
    h.notifyLevel = level;
    if (h.device) h.device->setNotifyLevel(level);
    break;
  }
  case FPD_PARAM_2000B: {
    const std::uint8_t flag = *static_cast<const std::uint8_t *>(value);
    if (flag > 1) return kInvalidArgument;
    h.modemFlag = flag;
    break;
  }
  default:
    return kInvalidArgument;
  }
  return kOk;
}

/// Reads a parameter: the text of a text parameter, or the number.
ErrorCode getParam(HandleState &h, std::uint32_t id, std::string *text,
                   std::int32_t *number) {
  std::lock_guard<std::mutex> lock(h.mutex);
  switch (id) {
  case FPD_PARAM_COM_SETTINGS:
    *text = h.comSettings;
    return kOk;
  case FPD_PARAM_USB_SERIAL:
    *text = h.usbSerial;
    return kOk;
  case FPD_PARAM_MODEM_INIT:
    *text = h.modemInit;
    return kOk;
  case FPD_PARAM_MODEM_DIAL:
    *text = h.modemDial;
    return kOk;
  case FPD_PARAM_USB_DEVICES:
    if (h.script->usbDevicesFail) return *h.script->usbDevicesFail;
    *text = h.script->usbDevices ? *h.script->usbDevices : kDefaultUsbListing;
    return kOk;
  case FPD_PARAM_2000A:
    *number = h.notifyLevel.value_or(1);
    return kOk;
  case FPD_PARAM_2000B:
    *number = h.modemFlag;
    return kOk;
  default:
    return kInvalidArgument;
  }
}

ModemConfig modemConfig(HandleState &h) {
  std::lock_guard<std::mutex> lock(h.mutex);
  return {h.modemFlag == 1, h.modemInit, h.modemDial};
}

DevicePtr openDeviceOf(HandleState &h) {
  std::lock_guard<std::mutex> lock(h.mutex);
  return h.device;
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

Request createRequest(Device device, const char *name, const char *paramList,
                      bool withList) {
  const DevicePtr core = registry::findDevice(device);
  if (!core) return nullptr;
  if (name == nullptr) return nullptr;
  std::optional<std::string> list;
  if (withList) list = paramList != nullptr ? std::string(paramList) : std::string();
  const RequestPtr request = core->create(name, list);
  if (!request) {
    diagnose(registry::handleOfDevice(device),
             withList ? "FPD_CreateRequestEx" : "FPD_CreateRequest", core->lastError());
    return nullptr;
  }
  return static_cast<Request>(registry::addRequest(core, request));
}

} // namespace

extern "C" {

TALMER_API DeviceHandle FPD_CreateDeviceHandle(DeviceType deviceType) {
  DeviceHandle token = nullptr;
  if (deviceType == FPD_DEVICE_SERIAL || deviceType == FPD_DEVICE_USB) {
    std::shared_ptr<const Script> script = loadScript();
    if (script && !script->handleFail) {
      auto handle = std::make_shared<HandleState>();
      handle->type = deviceType;
      handle->script = std::move(script);
      token = static_cast<DeviceHandle>(registry::addHandle(std::move(handle)));
    }
  }
  traceCall("FPD_CreateDeviceHandle(" + std::to_string(deviceType) +
            ") = " + registry::nameOf(token));
  return token;
}

TALMER_API ErrorCode FPD_DestroyDeviceHandle(DeviceHandle handle) {
  const std::string name = registry::nameOf(handle);
  ErrorCode code = kInvalidHandle;
  if (const HandlePtr h = registry::removeHandle(handle)) {
    void *device;
    {
      std::lock_guard<std::mutex> lock(h->mutex);
      device = h->deviceToken;
    }
    // A device still open is closed with its handle.
    if (device != nullptr) closeDevice(device);
    code = kOk;
  }
  traceCall("FPD_DestroyDeviceHandle(" + name + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_SetDebugLevel(DeviceHandle handle, int32_t level) {
  ErrorCode code = kInvalidHandle;
  if (const HandlePtr h = registry::findHandle(handle)) {
    std::lock_guard<std::mutex> lock(h->mutex);
    h->debugLevel = level;
    code = kOk;
  }
  traceCall("FPD_SetDebugLevel(" + registry::nameOf(handle) + ", " +
            std::to_string(level) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_SetDeviceParam(DeviceHandle handle, uint32_t id,
                                        const void *value) {
  const HandlePtr h = registry::findHandle(handle);
  ErrorCode code = kInvalidHandle;
  if (h) code = value == nullptr ? kInvalidArgument : setParam(*h, id, value);
  diagnose(h, "FPD_SetDeviceParam", code);
  traceCall("FPD_SetDeviceParam(" + registry::nameOf(handle) + ", " +
            trace::paramName(id) + ", " + traceParamValue(id, value) + ")" +
            result(code));
  return code;
}

TALMER_API ErrorCode FPD_GetDeviceParam(DeviceHandle handle, uint32_t id,
                                        void *buffer) {
  const HandlePtr h = registry::findHandle(handle);
  ErrorCode code = kInvalidHandle;
  std::string written;
  if (h && buffer == nullptr)
    code = kInvalidArgument;
  else if (h) {
    std::string text;
    std::int32_t number = 0;
    code = getParam(*h, id, &text, &number);
    if (code == kOk && id == FPD_PARAM_2000B) {
      *static_cast<std::uint8_t *>(buffer) = static_cast<std::uint8_t>(number);
      written = std::to_string(number);
    } else if (code == kOk && id == FPD_PARAM_2000A) {
      std::memcpy(buffer, &number, sizeof number);
      written = std::to_string(number);
    } else if (code == kOk) {
      written =
          trace::quote(copyOut(text, static_cast<char *>(buffer), kTextParamSize));
    }
  }
  diagnose(h, "FPD_GetDeviceParam", code);
  traceCall("FPD_GetDeviceParam(" + registry::nameOf(handle) + ", " +
            trace::paramName(id) + ")" + result(code) +
            (code == kOk ? " -> " + written : ""));
  return code;
}

TALMER_API Device FPD_OpenDevice(DeviceHandle handle) {
  const std::string name = registry::nameOf(handle);
  Device token = nullptr;
  if (const HandlePtr h = registry::findHandle(handle)) {
    DeviceConfig config;
    ErrorCode error = kOk;
    {
      std::lock_guard<std::mutex> lock(h->mutex);
      if (h->device) error = kAlreadyOpen;
      config.type = h->type;
      config.comSettings = h->comSettings;
      config.usbSerial = h->usbSerial;
      config.notifyLevel = h->notifyLevel.value_or(1);
      config.script = h->script;
    }
    DevicePtr device;
    if (error == kOk) device = DeviceCore::open(config, &error);
    if (device) {
      token = static_cast<Device>(registry::addDevice(device, h));
      std::lock_guard<std::mutex> lock(h->mutex);
      h->device = device;
      h->deviceToken = token;
    }
    {
      std::lock_guard<std::mutex> lock(h->mutex);
      h->lastError = error;
    }
    diagnose(h, "FPD_OpenDevice", error);
  }
  traceCall("FPD_OpenDevice(" + name + ") = " + registry::nameOf(token));
  return token;
}

TALMER_API ErrorCode FPD_CloseDevice(Device device) {
  const std::string name = registry::nameOf(device);
  ErrorCode code = kInvalidHandle;
  if (registry::findDevice(device)) {
    closeDevice(device);
    code = kOk;
  }
  traceCall("FPD_CloseDevice(" + name + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_GetError(void *handleOrDevice) {
  ErrorCode code = 0;
  if (const HandlePtr h = registry::findHandle(handleOrDevice)) {
    std::lock_guard<std::mutex> lock(h->mutex);
    code = h->lastError;
  } else if (const DevicePtr d = registry::findDevice(handleOrDevice)) {
    code = d->lastError();
  }
  traceCall("FPD_GetError(" + registry::nameOf(handleOrDevice) + ")" + result(code));
  return code;
}

TALMER_API const char *FPD_GetErrorString(ErrorCode code, const char *language) {
  const char *text = language != nullptr && std::strcmp(language, "pl") == 0
                         ? describe(code)
                         : nullptr;
  traceCall("FPD_GetErrorString(" + std::to_string(code) + ", " +
            trace::quote(language) + ") = " + trace::quote(text));
  return text;
}

TALMER_API ErrorCode FPD_ModemDial(DeviceHandle handle, int32_t mode) {
  const HandlePtr h = registry::findHandle(handle);
  ErrorCode code = kInvalidHandle;
  if (h) {
    const DevicePtr device = openDeviceOf(*h);
    code = device ? device->modemDial(modemConfig(*h), mode) : kNotOpen;
    std::lock_guard<std::mutex> lock(h->mutex);
    h->lastError = code;
  }
  diagnose(h, "FPD_ModemDial", code);
  traceCall("FPD_ModemDial(" + registry::nameOf(handle) + ", " + std::to_string(mode) +
            ")" + result(code));
  return code;
}

TALMER_API int32_t FPD_ModemStatus(DeviceHandle handle) {
  std::int32_t state = -1;
  if (const HandlePtr h = registry::findHandle(handle)) {
    if (const DevicePtr device = openDeviceOf(*h))
      state = device->modemStatus(modemConfig(*h));
  }
  traceCall("FPD_ModemStatus(" + registry::nameOf(handle) + ")" + result(state));
  return state;
}

TALMER_API ErrorCode FPD_GetPrnDeviceStatus(Device device, int32_t mode,
                                            int32_t *globalStatus,
                                            int32_t *printerStatus) {
  const DevicePtr d = registry::findDevice(device);
  ErrorCode code = kInvalidHandle;
  StatusPair pair;
  if (d &&
      (globalStatus == nullptr || printerStatus == nullptr || mode < 0 || mode > 1))
    code = kInvalidArgument;
  else if (d)
    code = d->printerStatus(&pair);
  if (code == kOk) {
    *globalStatus = pair.global;
    *printerStatus = pair.printer;
  }
  traceCall("FPD_GetPrnDeviceStatus(" + registry::nameOf(device) + ", " +
            std::to_string(mode) + ")" + result(code) +
            (code == kOk ? " -> " + std::to_string(pair.global) + ", " +
                               std::to_string(pair.printer)
                         : ""));
  return code;
}

TALMER_API ErrorCode FPD_SetEventHandlingMode(Device device, int32_t mode) {
  const DevicePtr d = registry::findDevice(device);
  const ErrorCode code = d ? d->setEventHandlingMode(mode) : kInvalidHandle;
  traceCall("FPD_SetEventHandlingMode(" + registry::nameOf(device) + ", " +
            trace::eventModeName(mode) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_SetCallback(Device device, FPD_StatusCallback onStatus) {
  const DevicePtr d = registry::findDevice(device);
  if (d) d->setCallback(onStatus);
  const ErrorCode code = d ? kOk : kInvalidHandle;
  traceCall("FPD_SetCallback(" + registry::nameOf(device) + ", " +
            (onStatus ? "function" : "null") + ")" + result(code));
  return code;
}

TALMER_API void *FPD_GetEvent(Device device) {
  const DevicePtr d = registry::findDevice(device);
  void *event = d ? d->event() : nullptr;
  traceCall("FPD_GetEvent(" + registry::nameOf(device) +
            ") = " + registry::eventName(event));
  return event;
}

TALMER_API Request FPD_CreateRequest(Device device, const char *name) {
  const Request request = createRequest(device, name, nullptr, false);
  traceCall("FPD_CreateRequest(" + registry::nameOf(device) + ", " +
            trace::quote(name) + ") = " + registry::nameOf(request));
  return request;
}

TALMER_API Request FPD_CreateRequestEx(Device device, const char *name,
                                       const char *paramList) {
  const Request request = createRequest(device, name, paramList, true);
  traceCall("FPD_CreateRequestEx(" + registry::nameOf(device) + ", " +
            trace::quote(name) + ", " + trace::quote(paramList) +
            ") = " + registry::nameOf(request));
  return request;
}

TALMER_API ErrorCode FPD_PushRequestParam(Request request, const char *key,
                                          const char *value) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  ErrorCode code = kInvalidHandle;
  if (r && (key == nullptr || value == nullptr || *key == '\0'))
    code = kInvalidArgument;
  else if (r)
    code = r->device->push(r->request, key, value);
  traceCall("FPD_PushRequestParam(" + registry::nameOf(request) + ", " +
            trace::quote(key) + ", " + trace::quote(value) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_PostRequest(Request request, int32_t mode) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  const ErrorCode code = r ? r->device->post(r->request, mode) : kInvalidHandle;
  traceCall("FPD_PostRequest(" + registry::nameOf(request) + ", " +
            trace::postModeName(mode) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_WaitForRequestCompleted(Request request,
                                                 uint32_t milliseconds) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  const ErrorCode code = r ? r->device->wait(r->request, milliseconds) : kInvalidHandle;
  traceCall("FPD_WaitForRequestCompleted(" + registry::nameOf(request) + ", " +
            std::to_string(milliseconds) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_GetRequestStatus(Request request) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  const ErrorCode code = r ? r->device->status(r->request) : kInvalidHandle;
  traceCall("FPD_GetRequestStatus(" + registry::nameOf(request) + ")" + result(code));
  return code;
}

TALMER_API ErrorCode FPD_GetResponseValue(Request request, const char *field,
                                          char *value, uint32_t size) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  ErrorCode code = kInvalidHandle;
  std::string found, written;
  if (r && (field == nullptr || (value == nullptr && size > 0)))
    code = kInvalidArgument;
  else if (r)
    code = r->device->responseValue(r->request, field, &found);
  if (code == kOk) written = copyOut(found, value, size);
  traceCall("FPD_GetResponseValue(" + registry::nameOf(request) + ", " +
            trace::quote(field) + ", " + std::to_string(size) + ")" + result(code) +
            (code == kOk ? " -> " + trace::quote(written) : ""));
  return code;
}

TALMER_API int32_t FPD_GetResponseValueCount(Request request) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  const std::int32_t count = r ? r->device->responseValueCount(r->request) : 0;
  traceCall("FPD_GetResponseValueCount(" + registry::nameOf(request) + ")" +
            result(count));
  return count;
}

TALMER_API ErrorCode FPD_PopResponseValue(Request request, char *name, char *value,
                                          uint32_t size) {
  const std::optional<RequestRef> r = registry::findRequest(request);
  ErrorCode code = kInvalidHandle;
  Field field;
  std::string writtenName, writtenValue;
  if (r && (name == nullptr || (value == nullptr && size > 0)))
    code = kInvalidArgument;
  else if (r)
    code = r->device->popResponseValue(r->request, &field);
  if (code == kOk) {
    writtenName = copyOut(field.name, name, FPD_RESPONSE_NAME_SIZE);
    writtenValue = copyOut(field.value, value, size);
  }
  traceCall("FPD_PopResponseValue(" + registry::nameOf(request) + ", " +
            std::to_string(size) + ")" + result(code) +
            (code == kOk ? " -> " + trace::quote(writtenName) + ", " +
                               trace::quote(writtenValue)
                         : ""));
  return code;
}

TALMER_API ErrorCode FPD_DestroyRequest(Request request) {
  const std::string name = registry::nameOf(request);
  const std::optional<RequestRef> r = registry::findRequest(request);
  if (r) {
    registry::removeRequest(request);
    r->device->destroy(r->request);
  }
  const ErrorCode code = r ? kOk : kInvalidHandle;
  traceCall("FPD_DestroyRequest(" + name + ")" + result(code));
  return code;
}

TALMER_API int32_t FPD_GetResponseCount(Device device) {
  const DevicePtr d = registry::findDevice(device);
  const std::int32_t count = d ? d->responseCount() : 0;
  traceCall("FPD_GetResponseCount(" + registry::nameOf(device) + ")" + result(count));
  return count;
}

TALMER_API Request FPD_GetNextResponse(Device device) {
  const DevicePtr d = registry::findDevice(device);
  Request token = nullptr;
  if (d) {
    if (const RequestPtr r = d->nextResponse())
      token = static_cast<Request>(registry::requestToken(*r));
  }
  traceCall("FPD_GetNextResponse(" + registry::nameOf(device) +
            ") = " + registry::nameOf(token));
  return token;
}

} // extern "C"
