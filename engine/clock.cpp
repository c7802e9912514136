#include "engine/clock.h"

#include <chrono>
#include <thread>

namespace talmer {
namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

class ScaledClock final : public Clock {
public:
  explicit ScaledClock(std::uint32_t scale)
      : start_(steady_clock::now()), scale_(scale == 0 ? 1 : scale) {}

  std::uint64_t now() const override {
    const auto elapsed =
        std::chrono::duration_cast<microseconds>(steady_clock::now() - start_).count();
    return static_cast<std::uint64_t>(elapsed) * scale_ / 1000;
  }

  void sleep(std::uint64_t ms) override {
    std::this_thread::sleep_for(microseconds(ms * 1000 / scale_));
  }

  std::uint64_t nominalOfReal(std::uint64_t realMs) const override {
    return realMs * scale_;
  }

  void waitUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                 std::uint64_t at) override {
    wake.wait_until(lock, start_ + microseconds(at * 1000 / scale_));
  }

  std::uint64_t subscribe(std::function<void()>) override { return 0; }
  void unsubscribe(std::uint64_t) override {}

private:
  const steady_clock::time_point start_;
  const std::uint64_t scale_;
};

} // namespace

std::shared_ptr<Clock> makeScaledClock(std::uint32_t scale) {
  return std::make_shared<ScaledClock>(scale);
}

void ManualClock::waitUntil(std::unique_lock<std::mutex> &lock,
                            std::condition_variable &wake, std::uint64_t at) {
  // advance() notifies through the subscriber, which takes the waiter's
  // lock first: the time can't move between this look and the wait.
  if (now() < at) wake.wait(lock);
}

std::uint64_t ManualClock::subscribe(std::function<void()> onJump) {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribers_.emplace(++next_, std::move(onJump));
  return next_;
}

void ManualClock::unsubscribe(std::uint64_t subscription) {
  std::lock_guard<std::mutex> lock(mutex_);
  subscribers_.erase(subscription);
}

void ManualClock::advance(std::uint64_t ms) {
  now_ += ms;
  // Under the clock's lock, so that no subscriber goes away while it is
  // called; subscribers never take it themselves.
  std::lock_guard<std::mutex> lock(mutex_);
  for (const auto &[id, onJump] : subscribers_)
    onJump();
}

} // namespace talmer
