#include "talmer_printer/event_hub.h"

namespace talmer::printer {

struct EventHub::Subscriber {
  std::deque<Event> queue;
};

std::string serverSentEvent(const Event &event) {
  return "id: " + std::to_string(event.id) + "\nevent: " + event.type +
         "\ndata: " + event.data + "\n\n";
}

EventHub::Subscription EventHub::subscribe() {
  auto subscription = std::make_shared<Subscriber>();
  std::lock_guard<std::mutex> lock(mutex_);
  subscribers_.insert(subscription);
  return subscription;
}

void EventHub::unsubscribe(const Subscription &subscription) {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribers_.erase(subscription);
}

bool EventHub::watched() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !subscribers_.empty();
}

void EventHub::publish(std::string type, std::string data) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_) return;
  const Event event{++lastId_, std::move(type), std::move(data)};
  for (const Subscription &s : subscribers_) {
    if (s->queue.size() == kQueueLimit) s->queue.pop_front();
    s->queue.push_back(event);
  }
  published_.notify_all();
}

std::vector<Event> EventHub::next(const Subscription &subscription,
                                  std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  published_.wait_for(lock, timeout,
                      [&] { return closed_ || !subscription->queue.empty(); });
  std::vector<Event> events(subscription->queue.begin(), subscription->queue.end());
  subscription->queue.clear();
  return closed_ ? std::vector<Event>() : events;
}

void EventHub::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  published_.notify_all();
}

bool EventHub::closed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

} // namespace talmer::printer
