#include "platform/socket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

/// The first IPv4 or IPv6 address of a host name.
bool resolve(const std::string &host, std::uint16_t port, sockaddr_storage *address,
             socklen_t *length) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 ||
      found == nullptr)
    return false;
  std::memcpy(address, found->ai_addr, found->ai_addrlen);
  *length = found->ai_addrlen;
  freeaddrinfo(found);
  return true;
}

void noDelay(int fd) {
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

Socket connectTcp(const std::string &host, std::uint16_t port, int timeoutMs) {
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!resolve(host, port, &address, &length)) return kNoSocket;
  const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  // Connects without blocking, to give up in time on a host that is silent.
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  int result = connect(fd, reinterpret_cast<sockaddr *>(&address), length);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd wait{fd, POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    result = poll(&wait, 1, timeoutMs) == 1 &&
                     getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 &&
                     error == 0
                 ? 0
                 : -1;
  }
  if (result != 0) {
    close(fd);
    return kNoSocket;
  }
  fcntl(fd, F_SETFL, flags);
  noDelay(fd);
  return fd;
}

Socket listenTcp(const std::string &host, std::uint16_t port, std::uint16_t *bound) {
  sockaddr_storage address{};
  socklen_t length = 0;
  if (!resolve(host, port, &address, &length)) return kNoSocket;
  const int fd = socket(address.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return kNoSocket;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
      listen(fd, 16) != 0) {
    close(fd);
    return kNoSocket;
  }
  sockaddr_storage chosen{};
  socklen_t chosenLength = sizeof chosen;
  getsockname(fd, reinterpret_cast<sockaddr *>(&chosen), &chosenLength);
  *bound = ntohs(chosen.ss_family == AF_INET6
                     ? reinterpret_cast<sockaddr_in6 *>(&chosen)->sin6_port
                     : reinterpret_cast<sockaddr_in *>(&chosen)->sin_port);
  return fd;
}

Socket acceptTcp(Socket listener) {
  for (;;) {
    const int fd = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) {
      noDelay(fd);
      return fd;
    }
    if (errno != EINTR && errno != ECONNABORTED) return kNoSocket;
  }
}

bool sendAll(Socket socket, const char *data, std::size_t size) {
  while (size > 0) {
    const ssize_t sent = send(static_cast<int>(socket), data, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

long receiveSome(Socket socket, char *data, std::size_t size, int timeoutMs) {
  pollfd wait{static_cast<int>(socket), POLLIN, 0};
  for (;;) {
    const int ready = poll(&wait, 1, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -1;
    if (ready == 0) return -2;
    break;
  }
  for (;;) {
    const ssize_t got = recv(static_cast<int>(socket), data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    return got < 0 ? -1 : static_cast<long>(got);
  }
}

void shutdownSocket(Socket socket) {
  if (socket != kNoSocket) shutdown(static_cast<int>(socket), SHUT_RDWR);
}

void closeSocket(Socket socket) {
  if (socket != kNoSocket) close(static_cast<int>(socket));
}

} // namespace platform
