#define WIN32_LEAN_AND_MEAN
#include "platform/process.h"

#include <windows.h>

namespace platform {

std::string programName() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path) return std::string();
  const std::string full(path, length);
  const std::size_t slash = full.find_last_of("\\/");
  std::string name = slash == std::string::npos ? full : full.substr(slash + 1);
  if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
    name.resize(name.size() - 4);
  return name;
}

} // namespace platform
