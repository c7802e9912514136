#include "link/channel.h"

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
    int wait = -1;
    if (timeoutMs >= 0) {
      wait = static_cast<int>(
          std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now())
              .count());
      if (wait < 0) wait = 0;
    }
    char buffer[16384];
    const long got = platform::receiveSome(socket_, buffer, sizeof buffer, wait);
    if (got == -2) return Got::TimedOut;
    if (got <= 0) return Got::Closed;
    reader_.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
  }
}

} // namespace talmer::link
