#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0600 // WSAPoll
#endif
#include "platform/socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace platform {
namespace {

// The library starts Windows Sockets itself too: the count is kept by
// Windows, and the program's own start-up stays as it is.
bool started() {
  static const bool ok = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return ok;
}

bool resolve(const std::string &host, std::uint16_t port, sockaddr_storage *address,
             int *length) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo *found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) != 0 ||
      found == nullptr)
    return false;
  memcpy(address, found->ai_addr, found->ai_addrlen);
  *length = static_cast<int>(found->ai_addrlen);
  freeaddrinfo(found);
  return true;
}

void noDelay(SOCKET s) {
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on),
             sizeof on);
}

} // namespace

Socket connectTcp(const std::string &host, std::uint16_t port, int timeoutMs) {
  sockaddr_storage address{};
  int length = 0;
  if (!started() || !resolve(host, port, &address, &length)) return kNoSocket;
  const SOCKET s = socket(address.ss_family, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kNoSocket;
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  int result = connect(s, reinterpret_cast<sockaddr *>(&address), length);
  if (result != 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
    WSAPOLLFD wait{s, POLLOUT, 0};
    int error = 0;
    int size = sizeof error;
    result = WSAPoll(&wait, 1, timeoutMs) == 1 &&
                     getsockopt(s, SOL_SOCKET, SO_ERROR,
                                reinterpret_cast<char *>(&error), &size) == 0 &&
                     error == 0
                 ? 0
                 : -1;
  }
  if (result != 0) {
    closesocket(s);
    return kNoSocket;
  }
  nonBlocking = 0;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  noDelay(s);
  return static_cast<Socket>(s);
}

Socket listenTcp(const std::string &host, std::uint16_t port, std::uint16_t *bound) {
  sockaddr_storage address{};
  int length = 0;
  if (!started() || !resolve(host, port, &address, &length)) return kNoSocket;
  const SOCKET s = socket(address.ss_family, SOCK_STREAM, 0);
  if (s == INVALID_SOCKET) return kNoSocket;
  if (bind(s, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
      listen(s, 16) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  sockaddr_storage chosen{};
  int chosenLength = sizeof chosen;
  getsockname(s, reinterpret_cast<sockaddr *>(&chosen), &chosenLength);
  *bound = ntohs(chosen.ss_family == AF_INET6
                     ? reinterpret_cast<sockaddr_in6 *>(&chosen)->sin6_port
                     : reinterpret_cast<sockaddr_in *>(&chosen)->sin_port);
  return static_cast<Socket>(s);
}

Socket acceptTcp(Socket listener) {
  const SOCKET s = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return kNoSocket;
  noDelay(s);
  return static_cast<Socket>(s);
}

bool sendAll(Socket socket, const char *data, std::size_t size) {
  while (size > 0) {
    const int chunk = size > 1 << 20 ? 1 << 20 : static_cast<int>(size);
    const int sent = send(static_cast<SOCKET>(socket), data, chunk, 0);
    if (sent <= 0) return false;
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

long receiveSome(Socket socket, char *data, std::size_t size, int timeoutMs) {
  WSAPOLLFD wait{static_cast<SOCKET>(socket), POLLRDNORM, 0};
  const int ready = WSAPoll(&wait, 1, timeoutMs);
  if (ready < 0) return -1;
  if (ready == 0) return -2;
  const int chunk = size > 1 << 20 ? 1 << 20 : static_cast<int>(size);
  const int got = recv(static_cast<SOCKET>(socket), data, chunk, 0);
  return got < 0 ? -1 : static_cast<long>(got);
}

void shutdownSocket(Socket socket) {
  if (socket != kNoSocket) shutdown(static_cast<SOCKET>(socket), SD_BOTH);
}

void closeSocket(Socket socket) {
  if (socket != kNoSocket) closesocket(static_cast<SOCKET>(socket));
}

} // namespace platform
