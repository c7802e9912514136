#include "platform/process.h"

#include <climits>
#include <unistd.h>

namespace platform {

std::string programName() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return std::string();
  const std::string full(path, static_cast<std::size_t>(length));
  return full.substr(full.rfind('/') + 1);
}

} // namespace platform
