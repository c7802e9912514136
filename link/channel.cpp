#include "link/channel.h"

#include <algorithm>
#include <chrono>

namespace talmer::link {

bool Channel::send(const Frame &frame) {
  const std::string bytes = encode(frame);
  std::lock_guard<std::mutex> lock(sending_);
  return platform::sendAll(socket_, bytes.data(), bytes.size());
}

Channel::Got Channel::receive(Frame *frame, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (std::optional<Frame> next = reader_.next()) {
      *frame = std::move(*next);
      return Got::Frame;
    }
    if (reader_.broken()) return Got::Broken;
    if (shut_) return Got::Closed;
    int left = kShutdownCheckMs + 1; // more than a slice: as long as it takes
    if (timeoutMs >= 0) {
      left = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now())
              .count());
      if (left < 0) left = 0;
    }
    const int wait = std::min(left, kShutdownCheckMs);
    char buffer[16384];
    const long got = platform::receiveSome(socket_, buffer, sizeof buffer, wait);
    if (got == -2) {
      if (wait < left) continue; // a slice over: look at shut_ again
      return Got::TimedOut;
    }
    if (got <= 0) return Got::Closed;
    reader_.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
}

} // namespace talmer::link
