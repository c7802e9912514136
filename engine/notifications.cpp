#include "engine/notifications.h"

#include "connection/talmer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace talmer {

struct Notifications::Inner {
  std::function<void()> signal;
  mutable std::mutex mutex;
  std::condition_variable wake;
  std::int32_t level = 1;
  std::int32_t mode = 0; ///< 0 until enabled
  Callback callback = nullptr;
  std::deque<std::uint32_t> waiting;
  bool stopping = false;

  // The delivery thread: one call at a time, without the lock.
  void deliver() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      wake.wait(lock, [&] {
        return stopping ||
               (mode == FPD_EVENTS_CALLBACK && callback != nullptr && !waiting.empty());
      });
      if (stopping) return;
      const std::uint32_t value = waiting.front();
      waiting.pop_front();
      const Callback call = callback;
      lock.unlock();
      call(value);
      lock.lock();
    }
  }

  void enqueue(std::uint32_t value) {
    if (waiting.size() < kQueueLimit)
      waiting.push_back(value);
    else
      waiting.back() = value;
  }
};

Notifications::Notifications(std::function<void()> signal, std::int32_t level)
    : inner_(std::make_shared<Inner>()) {
  inner_->signal = std::move(signal);
  inner_->level = level;
  // The thread keeps what it uses alive: a callback that closes the device
  // returns into it after the Notifications are gone.
  std::lock_guard<std::mutex> lock(inner_->mutex);
  thread_ = std::thread([inner = inner_] { inner->deliver(); });
}

Notifications::~Notifications() {
  stop();
}

void Notifications::statusChanged(std::uint32_t value) {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  if (inner_->stopping || inner_->level <= 0) return;
  if (inner_->mode == FPD_EVENTS_EVENT_OBJECT) {
    if (inner_->signal) inner_->signal();
    return;
  }
  inner_->enqueue(value);
  inner_->wake.notify_one();
}

void Notifications::setLevel(std::int32_t level) {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  inner_->level = level;
}

void Notifications::setMode(std::int32_t mode) {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  inner_->mode = mode;
  // What came before is delivered now: one signal for all of it, or the
  // calls in order once there is a callback.
  if (mode == FPD_EVENTS_EVENT_OBJECT && !inner_->waiting.empty()) {
    inner_->waiting.clear();
    if (inner_->signal) inner_->signal();
  }
  inner_->wake.notify_one();
}

void Notifications::setCallback(Callback callback) {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  inner_->callback = callback;
  inner_->wake.notify_one();
}

void Notifications::stop() {
  std::unique_lock<std::mutex> lock(inner_->mutex);
  inner_->stopping = true;
  inner_->waiting.clear();
  inner_->callback = nullptr;
  inner_->wake.notify_one();
  std::thread thread = std::move(thread_);
  lock.unlock();
  if (!thread.joinable()) return; // stopped before
  // The callback that stops us finishes on its own: the thread can't wait for
  // itself. Any other stop waits for the thread to end, so that no thread of
  // ours is left running when the program exits (on Windows a thread still in
  // the library while it unloads crashes the process).
  if (thread.get_id() == std::this_thread::get_id())
    thread.detach();
  else
    thread.join();
}

std::size_t Notifications::waiting() const {
  std::lock_guard<std::mutex> lock(inner_->mutex);
  return inner_->waiting.size();
}

} // namespace talmer
