#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include "platform/files.h"

#include <windows.h>

namespace platform {

struct FileLock {
  HANDLE file = INVALID_HANDLE_VALUE;
};

ReadResult readRegularFile(const std::string &path, std::size_t maxBytes,
                           std::string *text) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
               ? ReadResult::Missing
               : ReadResult::Failed;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    CloseHandle(file);
    return ReadResult::NotRegular;
  }
  std::string content;
  char chunk[8192];
  ReadResult result = ReadResult::Read;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      result = ReadResult::Failed;
      break;
    }
    if (got == 0) break;
    if (content.size() + got > maxBytes) {
      result = ReadResult::TooLarge;
      break;
    }
    content.append(chunk, got);
  }
  CloseHandle(file);
  if (result == ReadResult::Read) *text = std::move(content);
  return result;
}

LockResult lockFile(const std::string &path, FileLock **lock) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LockResult::Failed;
  // Windows releases the lock when the handle is closed, also when the
  // process ends; a second handle, in this process or another, is refused.
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                  MAXDWORD, MAXDWORD, &whole)) {
    const bool busy = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return busy ? LockResult::Busy : LockResult::Failed;
  }
  *lock = new FileLock{file};
  return LockResult::Locked;
}

void unlockFile(FileLock *lock) {
  if (lock == nullptr) return;
  CloseHandle(lock->file);
  delete lock;
}

} // namespace platform
