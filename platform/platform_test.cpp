#include "platform/platform.h"
#include "platform/platform_system.h"

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Variables = std::vector<std::pair<const char *, const char *>>;

// The locale variables of one case, in place of the test's own, which come
// back when it ends.
struct LocaleVariables {
  static constexpr const char *kNames[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  std::vector<std::pair<const char *, std::optional<std::string>>> saved;

  explicit LocaleVariables(const Variables &set) {
    for (const char *name : kNames) {
      const char *value = std::getenv(name);
      saved.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                : std::nullopt);
      unsetenv(name);
    }
    for (const auto &[name, value] : set)
      setenv(name, value, 1);
  }
  ~LocaleVariables() {
    for (const auto &[name, value] : saved) {
      if (value)
        setenv(name, value->c_str(), 1);
      else
        unsetenv(name);
    }
  }
};

} // namespace

TEST(ConsoleShowsUtf8, JudgedByTheLocaleThatTheEnvironmentNames) {
  struct Case {
    Variables set;
    bool utf8;
  } cases[] = {
      {{}, false},
      {{{"LC_ALL", "C.UTF-8"}}, true},
      {{{"LC_ALL", "C"}}, false},
      {{{"LC_CTYPE", "C.UTF-8"}}, true}, // LANG unset
      {{{"LANG", "C.UTF-8"}}, true},
      {{{"LANG", "pl_PL.UTF-8"}, {"LC_ALL", "C"}}, false}, // LC_ALL wins
      {{{"LANG", "C.UTF-8"}, {"LC_CTYPE", "C"}}, false},   // LC_CTYPE before LANG
      {{{"LC_ALL", ""}, {"LC_CTYPE", "C.UTF-8"}}, true},   // empty is unset
      {{{"LC_ALL", "C.Utf-8"}}, true},    // the locale counts, not its spelling
      {{{"LANG", "xx_XX.UTF-8"}}, false}, // a locale that the system doesn't have
  };
  for (const Case &c : cases) {
    std::string name;
    for (const auto &[variable, value] : c.set)
      name += std::string(variable) + "=" + value + " ";
    SCOPED_TRACE(name.empty() ? "no locale variables" : name);
    const LocaleVariables locale(c.set);
    EXPECT_EQ(platform::consoleShowsUtf8(), c.utf8);
    // The program's own locale, under which it reads and writes, is untouched.
    EXPECT_STREQ(std::setlocale(LC_ALL, nullptr), "C");
  }
}

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

// A credit for oversleeping shortens only the short pauses that are carried:
// a pause of a millisecond or more lasts its own time.
TEST(Sleep, APauseLastsAtLeastItsOwnTimeWhateverTheCredit) {
  using std::chrono::microseconds;
  struct Case {
    microseconds owed, own, sleep, owedAfter;
  };
  const Case cases[] = {
      {microseconds(-5000), microseconds(10000), microseconds(10000),
       microseconds(-5000)},
      {microseconds(300), microseconds(10000), microseconds(10300), microseconds(0)},
      {microseconds(0), microseconds(100), microseconds(0), microseconds(100)},
      {microseconds(950), microseconds(100), microseconds(1050), microseconds(0)},
      {microseconds(-2000), microseconds(500), microseconds(0), microseconds(-1500)},
  };
  for (const Case &c : cases) {
    const platform::detail::PausePlan plan = platform::detail::planPause(c.owed, c.own);
    EXPECT_EQ(plan.sleep, c.sleep) << c.owed.count() << " " << c.own.count();
    EXPECT_EQ(plan.owedAfter, c.owedAfter) << c.owed.count() << " " << c.own.count();
  }
}
