// Bytes of a link as they may come: every frame read back is whole, encodes
// to what it was read from, and reads back the same; a broken stream stays
// broken; nothing is read beyond the bounds.
#include "link/frame.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using talmer::link::Frame;
  using talmer::link::FrameReader;
  const std::string_view bytes(reinterpret_cast<const char *>(data), size);
  FrameReader reader;
  // In pieces of uneven sizes, as a line gives them.
  std::size_t at = 0;
  for (std::size_t piece = 1; at < bytes.size(); piece = piece * 3 % 97 + 1) {
    reader.feed(bytes.substr(at, piece));
    at += piece;
    while (std::optional<Frame> frame = reader.next()) {
      FrameReader again;
      again.feed(talmer::link::encode(*frame));
      const std::optional<Frame> copy = again.next();
      if (!copy || copy->verb != frame->verb || copy->seq != frame->seq ||
          copy->fields != frame->fields)
        __builtin_trap();
    }
    if (reader.broken() && reader.next()) __builtin_trap();
  }
  return 0;
}
