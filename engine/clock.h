// The printer's nominal clock: milliseconds since the printer was switched
// on. The engine is given its clock, so that the device library and the
// printer process run it against real time, TALMER_SIM_TIMESCALE times faster,
// and a test drives it by hand.
#pragma once

#include "engine/inside.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace talmer {

class Clock {
public:
  virtual ~Clock() = default;

  /// Nominal milliseconds since the clock started.
  virtual std::uint64_t now() const = 0;

  /// Sleeps the calling thread for a nominal time.
  virtual void sleep(std::uint64_t ms) = 0;

  /// How much nominal time passes in some real milliseconds (0 for a clock
  /// driven by hand).
  virtual std::uint64_t nominalOfReal(std::uint64_t realMs) const = 0;

  /// With lock held, waits on wake until it is notified or the nominal time
  /// `at` has come (spurious returns allowed, as with any condition variable).
  virtual void waitUntil(std::unique_lock<std::mutex> &lock,
                         std::condition_variable &wake, std::uint64_t at) = 0;

  /// Calls onJump whenever the time moves on by itself (a clock driven by
  /// hand), so that waiters on the engine's conditions look at it again.
  /// Returns a number for unsubscribe. Real clocks never call it. onJump may
  /// take the engine's lock; unsubscribe must not be called under it.
  virtual std::uint64_t subscribe(std::function<void()> onJump) = 0;
  virtual void unsubscribe(std::uint64_t subscription) = 0;
};

/// Real time, N times faster: a nominal millisecond lasts 1/N of a real one.
std::shared_ptr<Clock> makeScaledClock(std::uint32_t scale);

/// A clock that moves only when told to: sleeping on it moves it on by the
/// time slept, as if the sleeper were the only one to wait.
class ManualClock final : public Clock {
public:
  std::uint64_t now() const override { return now_.load(); }
  void sleep(std::uint64_t ms) override { advance(ms); }
  std::uint64_t nominalOfReal(std::uint64_t) const override { return 0; }
  void waitUntil(std::unique_lock<std::mutex> &lock, std::condition_variable &wake,
                 std::uint64_t at) override;
  std::uint64_t subscribe(std::function<void()> onJump) override;
  void unsubscribe(std::uint64_t subscription) override;

  /// Moves the time on and wakes every subscriber.
  void advance(std::uint64_t ms);

private:
  std::atomic<std::uint64_t> now_{0};
  std::mutex mutex_;
  std::uint64_t next_ = 0;
  std::map<std::uint64_t, std::function<void()>> subscribers_;
};

} // namespace talmer
