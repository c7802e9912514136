#include "platform/platform.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

TEST(Event, SignalledUntilReset) {
  platform::Event event = platform::createEvent();
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::TimedOut);
  platform::setEvent(event);
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::Signalled);
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::Signalled);
  EXPECT_TRUE(platform::resetEvent(event));
  EXPECT_EQ(platform::waitForEvent(event, 0), platform::WaitResult::TimedOut);
  platform::destroyEvent(event);
}

TEST(Event, SetFromAnotherThreadWakesTheWait) {
  platform::Event event = platform::createEvent();
  std::thread setter([event] { platform::setEvent(event); });
  EXPECT_EQ(platform::waitForEvent(event, 60000), platform::WaitResult::Signalled);
  setter.join();
  platform::destroyEvent(event);
}

TEST(Event, NullEventFailsAtOnce) {
  EXPECT_EQ(platform::waitForEvent(nullptr, 60000), platform::WaitResult::Failed);
  EXPECT_FALSE(platform::resetEvent(nullptr));
}

TEST(Sleep, ManyShortPausesTakeTheirTotalAndNoMore) {
  // Without a time scale (N = 1) twenty pauses of 1 ms take 20 ms, give or
  // take the one pause that the credit for oversleeping may save.
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i)
    platform::sleepMs(1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(19));
  EXPECT_LT(took, std::chrono::seconds(2));
}
