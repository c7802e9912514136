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
