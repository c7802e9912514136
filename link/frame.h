// The frames of the link between the device library and a printer process:
// what crosses the TCP connection, and how it is read back defensively.
//
// A frame is a header line and a body:
//
//   VERB SEQ LENGTH\n        VERB: 1 to 16 capital letters; SEQ: the call's number
//   key,value\n ...          (0 for what the printer sends unasked); LENGTH: the
//                            body's bytes, at most kMaxBodyBytes
//
// The body is the printer's own "key,value" lines, one field a line. Keys are
// 1 to 16 small letters; values are code page 1250 bytes, with "\\", "\n",
// "\r" and "\0" written as \\, \n, \r and \0, so that no value holds a line
// feed. docs/printer-process.md lists the verbs and their fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace talmer::link {

/// The largest body: a program's script of up to 1 MiB, each byte of it
/// escaped, and room for the rest of its OPEN.
constexpr std::size_t kMaxBodyBytes = (2 << 20) + (64 << 10);
constexpr std::size_t kMaxHeaderBytes = 40;

struct Frame {
  std::string verb;
  std::uint32_t seq = 0;
  std::vector<std::pair<std::string, std::string>> fields;

  Frame &add(std::string key, std::string value);
  Frame &add(std::string key, std::int64_t value);
  /// The value of the first field of that key.
  std::optional<std::string> text(std::string_view key) const;
  /// A field's value as a whole number within [low, high].
  std::optional<std::int64_t> number(std::string_view key, std::int64_t low,
                                     std::int64_t high) const;
};

/// The frame's bytes. The fields must have valid keys (see above).
std::string encode(const Frame &frame);

/// Takes bytes as they come and gives whole frames. The first malformed or
/// oversized frame stops it for good: error() says what was wrong, and the
/// connection is to be closed.
class FrameReader {
public:
  void feed(std::string_view bytes) { buffer_.append(bytes); }
  /// The next whole frame, or nothing when more bytes are needed or the
  /// stream is broken.
  std::optional<Frame> next();
  bool broken() const { return !error_.empty(); }
  const std::string &error() const { return error_; }

private:
  std::string buffer_;
  std::string error_;
};

} // namespace talmer::link
