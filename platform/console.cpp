#include "platform/console.h"

#include "platform/cp1250.h"
#include "platform/platform.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <string>

namespace console {
namespace {

bool showsUtf8() {
  static const bool utf8 = platform::prepareConsoleOutput();
  return utf8;
}

// Every text of the programs reaches standard output here, in one piece, and
// is flushed at once: a prompt is on the console before the read after it,
// and lines written from two threads never interleave.
void emit(std::string_view text) {
  if (showsUtf8()) {
    const std::string shown = cp1250::toUtf8(text);
    std::fwrite(shown.data(), 1, shown.size(), stdout);
  } else {
    std::fwrite(text.data(), 1, text.size(), stdout);
  }
  std::fflush(stdout);
}

} // namespace

void print(const char *format, ...) {
  char small[512];
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (length < 0) {
    va_end(again);
    return;
  }
  if (static_cast<std::size_t>(length) < sizeof small) {
    va_end(again);
    emit(std::string_view(small, static_cast<std::size_t>(length)));
    return;
  }
  std::string large(static_cast<std::size_t>(length) + 1, '\0');
  std::vsnprintf(large.data(), large.size(), format, again);
  va_end(again);
  large.resize(static_cast<std::size_t>(length));
  emit(large);
}

void write(std::string_view text) {
  emit(text);
}

void writeLine(std::string_view text) {
  std::string line(text);
  line += '\n';
  emit(line);
}

void flush() {
  std::fflush(stdout);
}

NumberRead readNumber(std::int32_t &number, std::FILE *in) {
  int c;
  do
    c = std::getc(in);
  while (c != EOF && std::isspace(c));
  if (c == EOF) return NumberRead::EndOfInput;
  const bool negative = c == '-';
  if (c == '-' || c == '+') c = std::getc(in);
  const auto isDigit = [](int d) { return d >= '0' && d <= '9'; };
  if (!isDigit(c)) {
    if (c != EOF) std::ungetc(c, in);
    return NumberRead::NotANumber;
  }
  // The magnitude stops growing once it is past every 32-bit value; the
  // digits after that are still read, so that the number ends where %d's
  // would.
  constexpr std::int64_t beyond =
      std::int64_t{std::numeric_limits<std::int32_t>::max()} + 2;
  std::int64_t magnitude = 0;
  for (; isDigit(c); c = std::getc(in))
    if (magnitude < beyond) magnitude = magnitude * 10 + (c - '0');
  if (c != EOF) std::ungetc(c, in);
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<std::int32_t>::min() ||
      value > std::numeric_limits<std::int32_t>::max())
    return NumberRead::OutOfRange;
  number = static_cast<std::int32_t>(value);
  return NumberRead::Read;
}

bool discardBufferedInput() {
  int c;
  while ((c = std::getchar()) != EOF && c != '\n') {
  }
  return c != EOF;
}

} // namespace console
