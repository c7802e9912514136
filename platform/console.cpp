#include "platform/console.h"

#include "platform/cp1250.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstdio>
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

bool discardBufferedInput() {
  int c;
  while ((c = std::getchar()) != EOF && c != '\n') {
  }
  return c != EOF;
}

} // namespace console
