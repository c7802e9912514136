#include "connection/talmer.h"
#include "engine/notifications.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace talmer {
namespace {

// What the callbacks of these tests receive. A callback is a plain function,
// so its state is the test file's.
struct Received {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint32_t> values;
  bool held = false; ///< the callback waits until released
  Notifications *toStop = nullptr;
  std::atomic<bool> stopReturned{false};
  std::atomic<bool> calledAfterStop{false};

  void reset() {
    std::lock_guard<std::mutex> lock(mutex);
    values.clear();
    held = false;
    toStop = nullptr;
    stopReturned = false;
    calledAfterStop = false;
  }
  std::vector<std::uint32_t> waitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return values.size() >= count; });
    return values;
  }
  void release() {
    std::lock_guard<std::mutex> lock(mutex);
    held = false;
    changed.notify_all();
  }
};

Received received;

void record(std::uint32_t value) {
  if (received.stopReturned) received.calledAfterStop = true;
  std::unique_lock<std::mutex> lock(received.mutex);
  received.values.push_back(value);
  received.changed.notify_all();
  received.changed.wait(lock, [] { return !received.held; });
  if (received.toStop != nullptr) {
    Notifications *stopping = received.toStop;
    lock.unlock();
    stopping->stop(); // from the callback itself
    return;
  }
  lock.unlock();
  if (received.stopReturned) received.calledAfterStop = true;
}

class NotificationsTest : public ::testing::Test {
protected:
  void SetUp() override { received.reset(); }
  void TearDown() override { received.release(); }
};

TEST_F(NotificationsTest, ChangesBeforeEnablingReachACallbackInOrder) {
  Notifications notifications(nullptr, 1);
  notifications.statusChanged(1);
  notifications.statusChanged(2);
  notifications.setMode(FPD_EVENTS_CALLBACK);
  notifications.statusChanged(3);
  EXPECT_EQ(notifications.waiting(), 3u); // no callback yet
  notifications.setCallback(record);
  EXPECT_EQ(received.waitFor(3), (std::vector<std::uint32_t>{1, 2, 3}));
}

TEST_F(NotificationsTest, ChangesBeforeEnablingSignalAnEventObjectOnce) {
  int signals = 0;
  Notifications notifications([&signals] { ++signals; }, 1);
  notifications.statusChanged(1);
  notifications.statusChanged(2);
  EXPECT_EQ(signals, 0);
  notifications.setMode(FPD_EVENTS_EVENT_OBJECT);
  EXPECT_EQ(signals, 1);
  notifications.statusChanged(3);
  EXPECT_EQ(signals, 2);
  EXPECT_EQ(notifications.waiting(), 0u);
}

TEST_F(NotificationsTest, LevelZeroDeliversNothing) {
  int signals = 0;
  Notifications notifications([&signals] { ++signals; }, 0);
  notifications.setMode(FPD_EVENTS_EVENT_OBJECT);
  notifications.statusChanged(1);
  notifications.setLevel(1);
  notifications.statusChanged(2);
  EXPECT_EQ(signals, 1);
}

// A callback that takes its time never holds up the printer, and what waits
// for it stays bounded; the last call carries the latest status.
TEST_F(NotificationsTest, ASlowCallbackGetsABoundedQueueEndingInTheLatest) {
  Notifications notifications(nullptr, 1);
  notifications.setMode(FPD_EVENTS_CALLBACK);
  received.held = true;
  notifications.setCallback(record);
  notifications.statusChanged(0);
  received.waitFor(1); // the callback is busy with the first
  for (std::uint32_t value = 1; value <= 100000; ++value) {
    notifications.statusChanged(value);
    ASSERT_LE(notifications.waiting(), Notifications::kQueueLimit);
  }
  received.release();
  const std::vector<std::uint32_t> values =
      received.waitFor(1 + Notifications::kQueueLimit);
  EXPECT_EQ(values.back(), 100000u);
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
}

TEST_F(NotificationsTest, ACallbackMayStopItsOwnNotifications) {
  auto notifications = std::make_unique<Notifications>(nullptr, 1);
  received.toStop = notifications.get();
  notifications->setMode(FPD_EVENTS_CALLBACK);
  notifications->setCallback(record);
  notifications->statusChanged(7);
  EXPECT_EQ(received.waitFor(1), (std::vector<std::uint32_t>{7}));
  notifications->statusChanged(8); // stopped: never delivered
  notifications.reset();
  EXPECT_EQ(received.values.size(), 1u);
}

// stop() waits for a call under way and drops the rest: no call is under
// way or begins once it has returned.
TEST_F(NotificationsTest, NoCallbackRunsAfterStopReturns) {
  Notifications notifications(nullptr, 1);
  notifications.setMode(FPD_EVENTS_CALLBACK);
  received.held = true;
  notifications.setCallback(record);
  for (std::uint32_t value = 1; value <= 10; ++value)
    notifications.statusChanged(value);
  received.waitFor(1);
  std::thread releaser([] { received.release(); });
  notifications.stop();
  received.stopReturned = true;
  notifications.statusChanged(11);
  releaser.join();
  EXPECT_FALSE(received.calledAfterStop);
  EXPECT_EQ(notifications.waiting(), 0u);
}

// Nothing of the delivery thread outlives the Notifications, so no thread of
// the library is left running when a program exits after closing its device
// (on Windows such a thread crashed the process now and then as it ended).
// The thread holds what it uses until it ends: once that is released, it has.
TEST_F(NotificationsTest, TheDeliveryThreadHasEndedWhenTheyAreGone) {
  const auto token = std::make_shared<int>(0);
  const std::weak_ptr<int> held = token;
  {
    Notifications notifications([token] { (void)token; }, 1);
    notifications.setMode(FPD_EVENTS_CALLBACK);
    notifications.setCallback(record);
    notifications.statusChanged(1);
    received.waitFor(1);
  }
  // Only our own hold is left: the signal's copy ended with the thread.
  EXPECT_EQ(held.use_count(), 1);
}

} // namespace
} // namespace talmer
