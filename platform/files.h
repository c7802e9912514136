// Files that the virtual printer reads and holds: a small text file read with
// a bound, and an advisory lock that dies with the process. One implementation
// per system: files_posix.cpp and files_win32.cpp.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class ReadResult { Read, Missing, NotRegular, TooLarge, Failed };

/// Reads a whole regular file of at most maxBytes bytes into *text. Never
/// blocks on a FIFO or a device and never reads more than maxBytes + 1
/// bytes: a FIFO, a device or a directory is NotRegular, a longer file
/// TooLarge. A file that isn't there is Missing.
ReadResult readRegularFile(const std::string &path, std::size_t maxBytes,
                           std::string *text);

/// What a result means, in a few English words ("not a regular file").
const char *describeReadResult(ReadResult result);

/// An exclusive advisory lock on a file, created when it is missing. It is
/// released by unlockFile or when the process ends, however it ends.
struct FileLock;

enum class LockResult { Locked, Busy, Failed };

/// Takes the lock without waiting: Busy when another holder has it, also
/// one in the same process.
LockResult lockFile(const std::string &path, FileLock **lock);
void unlockFile(FileLock *lock);

} // namespace platform
