#include "platform/files.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string tempPath(const std::string &what) {
  const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + "files_test." + test->name() + "." + what;
}

struct Case {
  const char *name;
  std::string path;
  platform::ReadResult expected;
};

} // namespace

TEST(ReadRegularFile, ReadsAWholeFileUpToItsBound) {
  const std::string path = tempPath("text");
  std::ofstream(path) << "hello";
  std::string text;
  EXPECT_EQ(platform::readRegularFile(path, 5, &text), platform::ReadResult::Read);
  EXPECT_EQ(text, "hello");
  text = "untouched";
  EXPECT_EQ(platform::readRegularFile(path, 4, &text), platform::ReadResult::TooLarge);
  EXPECT_EQ(text, "untouched");
  std::remove(path.c_str());
}

// Whatever else a path names, it is refused at once: nothing blocks, nothing
// reads without end.
TEST(ReadRegularFile, RefusesWhatIsNotARegularFile) {
  const std::string fifo = tempPath("fifo");
  std::remove(fifo.c_str());
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const Case cases[] = {
      {"fifo without a writer", fifo, platform::ReadResult::NotRegular},
      {"directory", ::testing::TempDir(), platform::ReadResult::NotRegular},
      {"endless device", "/dev/zero", platform::ReadResult::NotRegular},
      {"missing", tempPath("missing"), platform::ReadResult::Missing},
  };
  for (const Case &c : cases) {
    std::string text = "untouched";
    EXPECT_EQ(platform::readRegularFile(c.path, 1 << 20, &text), c.expected) << c.name;
    EXPECT_EQ(text, "untouched") << c.name;
  }
  std::remove(fifo.c_str());
}

TEST(FileLock, OneHolderAtATimeAlsoInOneProcess) {
  const std::string path = tempPath("lock");
  platform::FileLock *first = nullptr, *second = nullptr;
  ASSERT_EQ(platform::lockFile(path, &first), platform::LockResult::Locked);
  EXPECT_EQ(platform::lockFile(path, &second), platform::LockResult::Busy);
  platform::unlockFile(first);
  ASSERT_EQ(platform::lockFile(path, &second), platform::LockResult::Locked);
  platform::unlockFile(second);
  std::remove(path.c_str());
}

TEST(FileLock, DiesWithTheProcessThatHeldIt) {
  const std::string path = tempPath("lock");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    platform::FileLock *lock = nullptr;
    const char held = platform::lockFile(path, &lock) == platform::LockResult::Locked;
    (void)!write(ready[1], &held, 1);
    pause(); // until killed, still holding the lock
    _exit(0);
  }
  char held = 0;
  ASSERT_EQ(read(ready[0], &held, 1), 1);
  ASSERT_TRUE(held);
  platform::FileLock *lock = nullptr;
  EXPECT_EQ(platform::lockFile(path, &lock), platform::LockResult::Busy);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_EQ(platform::lockFile(path, &lock), platform::LockResult::Locked);
  platform::unlockFile(lock);
  close(ready[0]);
  close(ready[1]);
  std::remove(path.c_str());
}
