// The events that the panels watch (GET /api/events, server-sent events):
// every event goes to each subscriber's own queue, bounded, so that a panel
// that stops reading loses its oldest events and holds up nobody.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace talmer::printer {

struct Event {
  std::uint64_t id = 0;
  std::string type; ///< "printout", "state", "call"
  std::string data; ///< one line of JSON
};

/// The text of an event on the stream: "id:", "event:", "data:" and a blank
/// line.
std::string serverSentEvent(const Event &event);

class EventHub {
public:
  static constexpr std::size_t kQueueLimit = 1000;

  struct Subscriber;
  using Subscription = std::shared_ptr<Subscriber>;

  Subscription subscribe();
  void unsubscribe(const Subscription &subscription);

  /// Never waits for a subscriber.
  void publish(std::string type, std::string data);
  /// True while someone subscribes.
  bool watched() const;

  /// The subscriber's next events, waiting up to timeout; empty when none came
  /// or the hub is closed.
  std::vector<Event> next(const Subscription &subscription,
                          std::chrono::milliseconds timeout);

  /// Wakes every subscriber for good: the streams end.
  void close();
  bool closed() const;

private:
  mutable std::mutex mutex_;
  std::condition_variable published_;
  std::set<Subscription> subscribers_;
  std::uint64_t lastId_ = 0;
  bool closed_ = false;
};

} // namespace talmer::printer
