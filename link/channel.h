// A TCP connection that carries frames: sent whole, one sender at a time,
// and read back through a FrameReader, so that a broken stream is noticed
// at its first bad byte.
#pragma once

#include "link/frame.h"
#include "platform/socket.h"

#include <atomic>
#include <mutex>
#include <string>

namespace talmer::link {

class Channel {
public:
  explicit Channel(platform::Socket socket) : socket_(socket) {}
  ~Channel() { platform::closeSocket(socket_); }
  Channel(const Channel &) = delete;
  Channel &operator=(const Channel &) = delete;

  /// Sends a frame whole; false when the connection is gone. Any thread.
  bool send(const Frame &frame);

  enum class Got { Frame, Closed, Broken, TimedOut };
  /// The next frame, waiting up to timeoutMs (negative: as long as it
  /// takes). Broken: the peer sent what isn't a frame (error() says what).
  /// One receiver at a time.
  Got receive(Frame *frame, int timeoutMs);
  const std::string &error() const { return reader_.error(); }

  /// Makes a receive under way return Closed, within kShutdownCheckMs where
  /// the system doesn't wake it at once; the socket stays until the channel
  /// goes.
  void shutdown() {
    shut_ = true;
    platform::shutdownSocket(socket_);
  }

  /// A local shutdown doesn't wake a waiting poll on every Windows (Wine's
  /// doesn't, on a peer that never answered): a receive looks this often.
  static constexpr int kShutdownCheckMs = 100;

private:
  const platform::Socket socket_;
  std::atomic<bool> shut_ = false;
  std::mutex sending_;
  FrameReader reader_;
};

} // namespace talmer::link
