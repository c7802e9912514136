#include "libtalmer/trace.h"

#include "connection/talmer.h"
#include "libtalmer/environment.h"
#include "platform/cp1250.h"

#include <cstdio>
#include <mutex>

namespace talmer::trace {
namespace {

struct Sink {
  std::mutex mutex;
  std::FILE *file = nullptr;
};

// Opened once and never closed: calls may come until the process ends.
Sink &sink() {
  static Sink *const instance = [] {
    auto *s = new Sink;
    const std::string path = tracePath();
    if (!path.empty()) {
      s->file = std::fopen(path.c_str(), "ab");
      if (s->file == nullptr)
        warn("TALMER_SIM_TRACE " + path + ": cannot be written; no calls are traced");
    }
    return s;
  }();
  return *instance;
}

} // namespace

bool enabled() {
  return sink().file != nullptr;
}

void writeLine(const std::string &line) {
  Sink &s = sink();
  if (s.file == nullptr) return;
  std::lock_guard<std::mutex> lock(s.mutex);
  std::fwrite(line.data(), 1, line.size(), s.file);
  std::fputc('\n', s.file);
  std::fflush(s.file);
}

std::string quote(const std::string &text) {
  const std::string utf8 = cp1250::toUtf8(text);
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '\n')
      out += "\\n";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\\')
      out += "\\\\";
    else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string quote(const char *text) {
  return text == nullptr ? "null" : quote(std::string(text));
}

std::string paramName(std::uint32_t id) {
  switch (id) {
  case FPD_PARAM_COM_SETTINGS:
    return "FPD_PARAM_COM_SETTINGS";
  case FPD_PARAM_USB_SERIAL:
    return "FPD_PARAM_USB_SERIAL";
  case FPD_PARAM_USB_DEVICES:
    return "FPD_PARAM_USB_DEVICES";
  case FPD_PARAM_2000A:
    return "FPD_PARAM_2000A";
  case FPD_PARAM_2000B:
    return "FPD_PARAM_2000B";
  case FPD_PARAM_MODEM_INIT:
    return "FPD_PARAM_MODEM_INIT";
  case FPD_PARAM_MODEM_DIAL:
    return "FPD_PARAM_MODEM_DIAL";
  default: {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(id));
    return text;
  }
  }
}

std::string postModeName(std::int32_t mode) {
  if (mode == FPD_POST_NORMAL) return "FPD_POST_NORMAL";
  if (mode == FPD_POST_SPOOLSPECIAL) return "FPD_POST_SPOOLSPECIAL";
  return std::to_string(mode);
}

std::string eventModeName(std::int32_t mode) {
  if (mode == FPD_EVENTS_EVENT_OBJECT) return "FPD_EVENTS_EVENT_OBJECT";
  if (mode == FPD_EVENTS_CALLBACK) return "FPD_EVENTS_CALLBACK";
  return std::to_string(mode);
}

} // namespace talmer::trace
