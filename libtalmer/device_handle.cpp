#include "libtalmer/device_handle.h"

#include "engine/status_codes.h"
#include "libtalmer/link_session.h"

#include <cstring>

namespace talmer {
namespace {

std::string textParam(const void *value) {
  const char *text = static_cast<const char *>(value);
  return std::string(text, strnlen(text, kTextParamSize - 1));
}

} // namespace

OpenDevice::~OpenDevice() {
  close();
  if (event != nullptr) platform::destroyEvent(event);
}

void OpenDevice::close() {
  if (session) session->close();
  if (notifications) notifications->stop();
  if (engine) engine->stop();
}

bool isTextParam(std::uint32_t id) {
  return id == FPD_PARAM_COM_SETTINGS || id == FPD_PARAM_USB_SERIAL ||
         id == FPD_PARAM_MODEM_INIT || id == FPD_PARAM_MODEM_DIAL;
}

std::int32_t setParam(HandleState &h, std::uint32_t id, const void *value) {
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
    if (h.device) h.device->notifications->setLevel(level);
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

std::int32_t getParam(HandleState &h, std::uint32_t id, std::string *text,
                      std::int32_t *number) {
  std::unique_lock<std::mutex> lock(h.mutex);
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
    if (h.script->usbDevices) {
      *text = *h.script->usbDevices;
      return kOk;
    }
    if (!h.environment.printerAddress.empty()) {
      // Asking the printer takes its time: without the lock, which every
      // call takes. The address is the environment's, read once.
      const std::string address = h.environment.printerAddress;
      lock.unlock();
      return listLinkDevices(address, text);
    }
    *text = EngineConfig().usbSerials;
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

DevicePtr openDevice(HandleState &h, std::int32_t *error) {
  PortSettings port;
  Environment environment;
  std::shared_ptr<const Script> script;
  std::string scriptText;
  std::int32_t level;
  {
    std::lock_guard<std::mutex> lock(h.mutex);
    port = {h.type, h.comSettings, h.usbSerial};
    environment = h.environment;
    script = h.script;
    scriptText = h.scriptText;
    level = h.notifyLevel.value_or(1);
  }
  auto device = std::make_shared<OpenDevice>();
  if (!script->eventNone) device->event = platform::createEvent();
  device->notifications = std::make_unique<Notifications>(
      [event = device->event] { platform::setEvent(event); }, level);
  StatusListener listener = [notifications =
                                 device->notifications.get()](std::uint32_t value) {
    notifications->statusChanged(value);
  };

  // A printer process: it follows the program's script too.
  if (!environment.printerAddress.empty()) {
    device->session =
        openLinkSession(environment.printerAddress, port, scriptText, listener, error);
    if (!device->session) return nullptr;
    return device;
  }

  // The embedded printer: the handle's script is its session's, the port is
  // checked before the printer is switched on.
  EngineConfig config;
  config.printer.paperPath = environment.paperPath;
  config.printer.statePath = environment.statePath;
  config.printer.warn = warn;
  config.clock = makeScaledClock(environment.timeScale);
  if (std::optional<std::int32_t> refused =
          portRefusal(config, Script(), script.get(), port)) {
    *error = *refused;
    return nullptr;
  }
  device->engine = Engine::start(config, error);
  if (!device->engine) return nullptr;
  device->session = device->engine->connect(port, script, listener, error);
  if (!device->session) return nullptr;
  return device;
}

ModemSettings modemSettings(HandleState &h) {
  std::lock_guard<std::mutex> lock(h.mutex);
  return {h.modemFlag == 1, h.modemInit, h.modemDial};
}

DevicePtr deviceOf(HandleState &h) {
  std::lock_guard<std::mutex> lock(h.mutex);
  return h.device;
}

} // namespace talmer
