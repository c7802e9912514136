#include "platform/socket.h"

namespace platform {

bool splitAddress(const std::string &address, std::string *host, std::uint16_t *port) {
  const std::size_t colon = address.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == address.size())
    return false;
  unsigned long value = 0;
  for (std::size_t i = colon + 1; i < address.size(); ++i) {
    const char c = address[i];
    if (c < '0' || c > '9' || i - colon > 5) return false;
    value = value * 10 + static_cast<unsigned long>(c - '0');
  }
  if (value > 65535) return false;
  *host = address.substr(0, colon);
  *port = static_cast<std::uint16_t>(value);
  return true;
}

} // namespace platform
