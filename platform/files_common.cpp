#include "platform/files.h"

namespace platform {

const char *describeReadResult(ReadResult result) {
  switch (result) {
  case ReadResult::Read:
    return "read";
  case ReadResult::Missing:
    return "no such file";
  case ReadResult::NotRegular:
    return "not a regular file";
  case ReadResult::TooLarge:
    return "too large";
  case ReadResult::Failed:
    break;
  }
  return "cannot be read";
}

} // namespace platform
