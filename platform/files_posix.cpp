#include "platform/files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct FileLock {
  int fd = -1;
};

ReadResult readRegularFile(const std::string &path, std::size_t maxBytes,
                           std::string *text) {
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    close(fd);
    return ReadResult::Failed;
  }
  if (!S_ISREG(info.st_mode)) {
    close(fd);
    return ReadResult::NotRegular;
  }
  std::string content;
  char chunk[8192];
  ReadResult result = ReadResult::Read;
  for (;;) {
    const ssize_t got = read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result = ReadResult::Failed;
      break;
    }
    if (got == 0) break;
    if (content.size() + static_cast<std::size_t>(got) > maxBytes) {
      result = ReadResult::TooLarge;
      break;
    }
    content.append(chunk, static_cast<std::size_t>(got));
  }
  close(fd);
  if (result == ReadResult::Read) *text = std::move(content);
  return result;
}

LockResult lockFile(const std::string &path, FileLock **lock) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return LockResult::Failed;
  // flock belongs to the open file, so a second holder in the same process
  // is refused too; the kernel releases it when the process ends.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    close(fd);
    return busy ? LockResult::Busy : LockResult::Failed;
  }
  *lock = new FileLock{fd};
  return LockResult::Locked;
}

void unlockFile(FileLock *lock) {
  if (lock == nullptr) return;
  close(lock->fd); // releases the lock
  delete lock;
}

} // namespace platform
