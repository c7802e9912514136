// TCP sockets for the link between the device library and a printer process.
// One implementation per system: socket_posix.cpp, socket_win32.cpp (Windows
// Sockets, which the program has started; the library starts them too).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using Socket = std::intptr_t;
constexpr Socket kNoSocket = -1;

/// "HOST:PORT" taken apart; false when it isn't one (the port 0 to 65535).
bool splitAddress(const std::string &address, std::string *host, std::uint16_t *port);

/// Connects to host:port, giving up after timeoutMs real milliseconds.
Socket connectTcp(const std::string &host, std::uint16_t port, int timeoutMs);

/// Listens on host:port; port 0 picks a free one, given back in *bound.
Socket listenTcp(const std::string &host, std::uint16_t port, std::uint16_t *bound);

/// Waits for a connection; kNoSocket when the listener was shut down.
Socket acceptTcp(Socket listener);

/// Sends every byte; false when the connection is gone.
bool sendAll(Socket socket, const char *data, std::size_t size);

/// Receives what has come, up to size bytes, waiting up to timeoutMs real
/// milliseconds (negative: as long as it takes). The bytes received; 0 when
/// the peer closed the connection; -1 when it failed; -2 when the time ran out.
long receiveSome(Socket socket, char *data, std::size_t size, int timeoutMs);

/// Ends both directions, so that a receive blocked on the socket returns.
void shutdownSocket(Socket socket);
void closeSocket(Socket socket);

} // namespace platform
