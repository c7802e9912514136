#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
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
  // 2000 pauses of 1 ms at time scale 1 take about 2 s; without a time scale
  // set, this checks only that short pauses don't each cost a scheduler tick
  // more than asked for when scaled (the scale is read from the environment).
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 20; ++i)
    platform::sleepMs(1);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(20) / platform::timeScale());
  EXPECT_LT(took, std::chrono::seconds(2));
}
