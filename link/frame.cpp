#include "link/frame.h"

namespace talmer::link {
namespace {

bool validVerb(std::string_view verb) {
  if (verb.empty() || verb.size() > 16) return false;
  for (char c : verb)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

bool validKey(std::string_view key) {
  if (key.empty() || key.size() > 16) return false;
  for (char c : key)
    if (c < 'a' || c > 'z') return false;
  return true;
}

/// A decimal number of at most maxDigits digits.
std::optional<std::uint64_t> decimal(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
  }
  return value;
}

std::string escape(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
    case '\\':
      out += "\\\\";
      break;
    case '\n':
      out += "\\n";
      break;
    case '\r':
      out += "\\r";
      break;
    case '\0':
      out += "\\0";
      break;
    default:
      out += c;
    }
  }
  return out;
}

bool unescape(std::string_view text, std::string *value) {
  value->clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      *value += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
    case '\\':
      *value += '\\';
      break;
    case 'n':
      *value += '\n';
      break;
    case 'r':
      *value += '\r';
      break;
    case '0':
      *value += '\0';
      break;
    default:
      return false;
    }
  }
  return true;
}

} // namespace

Frame &Frame::add(std::string key, std::string value) {
  fields.emplace_back(std::move(key), std::move(value));
  return *this;
}

Frame &Frame::add(std::string key, std::int64_t value) {
  return add(std::move(key), std::to_string(value));
}

std::optional<std::string> Frame::text(std::string_view key) const {
  for (const auto &[k, v] : fields)
    if (k == key) return v;
  return std::nullopt;
}

std::optional<std::int64_t> Frame::number(std::string_view key, std::int64_t low,
                                          std::int64_t high) const {
  const std::optional<std::string> value = text(key);
  if (!value) return std::nullopt;
  std::string_view digits = *value;
  const bool negative = !digits.empty() && digits[0] == '-';
  if (negative) digits.remove_prefix(1);
  const std::optional<std::uint64_t> magnitude = decimal(digits, 19);
  if (!magnitude || *magnitude > 0x7FFFFFFFFFFFFFFFull) return std::nullopt;
  const std::int64_t result = negative ? -static_cast<std::int64_t>(*magnitude)
                                       : static_cast<std::int64_t>(*magnitude);
  if (result < low || result > high) return std::nullopt;
  return result;
}

std::string encode(const Frame &frame) {
  std::string body;
  for (const auto &[key, value] : frame.fields) {
    body += key;
    body += ',';
    body += escape(value);
    body += '\n';
  }
  return frame.verb + " " + std::to_string(frame.seq) + " " +
         std::to_string(body.size()) + "\n" + body;
}

namespace {

/// Parses one frame's body; false (with *error) when it isn't valid.
bool parseBody(std::string_view body, Frame *frame, std::string *error) {
  while (!body.empty()) {
    const std::size_t end = body.find('\n');
    if (end == std::string_view::npos) {
      *error = "a field without its line end";
      return false;
    }
    const std::string_view line = body.substr(0, end);
    body.remove_prefix(end + 1);
    const std::size_t comma = line.find(',');
    if (comma == std::string_view::npos || !validKey(line.substr(0, comma))) {
      *error = "a field that isn't key,value";
      return false;
    }
    std::string value;
    if (!unescape(line.substr(comma + 1), &value)) {
      *error = "a value with a bad escape";
      return false;
    }
    frame->fields.emplace_back(std::string(line.substr(0, comma)), std::move(value));
  }
  return true;
}

} // namespace

std::optional<Frame> FrameReader::next() {
  if (broken()) return std::nullopt;
  const std::size_t end = buffer_.find('\n');
  if (end == std::string::npos) {
    if (buffer_.size() > kMaxHeaderBytes) error_ = "a header line too long";
    return std::nullopt;
  }
  if (end > kMaxHeaderBytes) {
    error_ = "a header line too long";
    return std::nullopt;
  }
  const std::string_view header(buffer_.data(), end);
  const std::size_t first = header.find(' ');
  const std::size_t second =
      first == std::string_view::npos ? first : header.find(' ', first + 1);
  if (second == std::string_view::npos) {
    error_ = "a header that isn't VERB SEQ LENGTH";
    return std::nullopt;
  }
  const std::string_view verb = header.substr(0, first);
  const std::optional<std::uint64_t> seq =
      decimal(header.substr(first + 1, second - first - 1), 10);
  const std::optional<std::uint64_t> length = decimal(header.substr(second + 1), 8);
  if (!validVerb(verb) || !seq || *seq > 0xFFFFFFFFull || !length) {
    error_ = "a header that isn't VERB SEQ LENGTH";
    return std::nullopt;
  }
  if (*length > kMaxBodyBytes) {
    error_ = "a body of " + std::to_string(*length) + " bytes, more than " +
             std::to_string(kMaxBodyBytes);
    return std::nullopt;
  }
  if (buffer_.size() < end + 1 + *length) return std::nullopt;
  Frame frame;
  frame.verb = std::string(verb);
  frame.seq = static_cast<std::uint32_t>(*seq);
  if (!parseBody(std::string_view(buffer_).substr(end + 1, *length), &frame, &error_))
    return std::nullopt;
  buffer_.erase(0, end + 1 + *length);
  return frame;
}

} // namespace talmer::link
