#include "libtalmer/environment.h"

#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>

namespace talmer {
namespace {

std::string variable(const char *name) {
  const char *value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

} // namespace

Environment readEnvironment() {
  Environment e;
  e.scriptPath = variable("TALMER_SIM_SCRIPT");
  e.paperPath = variable("TALMER_PAPER");
  e.statePath = variable("TALMER_SIM_STATE");
  e.printerAddress = variable("TALMER_PRINTER");
  e.timeScale = platform::timeScale();
  // Said once a process, as the platform reads it once.
  static const bool reported = [] {
    std::uint32_t scale = 1;
    const std::string text = variable("TALMER_SIM_TIMESCALE");
    if (!platform::parseTimeScale(text.c_str(), &scale))
      warn("TALMER_SIM_TIMESCALE=" + text + ": not a whole number from 1 to " +
           std::to_string(platform::kMaxTimeScale) +
           "; pauses and waits take their real time");
    return true;
  }();
  (void)reported;
  return e;
}

std::string tracePath() {
  return variable("TALMER_SIM_TRACE");
}

void warn(const std::string &text) {
  std::fprintf(stderr, "libtalmer: %s\n", text.c_str());
  std::fflush(stderr);
}

} // namespace talmer
