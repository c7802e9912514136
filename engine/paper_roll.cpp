#include "engine/paper_roll.h"

#include "platform/cp1250.h"

#include <cstdio>

namespace talmer {
namespace {

// Characters in a UTF-8 text (not bytes): one column each.
std::size_t columns(std::string_view utf8) {
  std::size_t count = 0;
  for (unsigned char c : utf8)
    if ((c & 0xC0) != 0x80) ++count;
  return count;
}

struct Marks {
  bool centre = false;
  bool wide = false;
  std::string_view text;
};

Marks readMarks(std::string_view text) {
  Marks marks;
  for (;;) {
    if (text.substr(0, 2) == "&c")
      marks.centre = true;
    else if (text.substr(0, 2) == "&w")
      marks.wide = true;
    else
      break;
    text.remove_prefix(2);
  }
  marks.text = text;
  return marks;
}

std::string spaced(std::string_view utf8) {
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (i > 0 && (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) out += ' ';
    out += utf8[i];
  }
  return out;
}

} // namespace

void Printout::marked(std::string_view cp1250Text) {
  const Marks marks = readMarks(cp1250Text);
  std::string line = cp1250::toUtf8(marks.text);
  if (marks.wide) line = spaced(line);
  if (marks.centre)
    centred(line);
  else
    lines_.push_back(line);
}

void Printout::text(std::string_view cp1250Text) {
  lines_.push_back(cp1250::toUtf8(cp1250Text));
}

void Printout::centred(std::string_view utf8Text) {
  const std::size_t width = columns(utf8Text);
  const std::size_t pad = width < kPaperColumns ? (kPaperColumns - width) / 2 : 0;
  lines_.push_back(std::string(pad, ' ') + std::string(utf8Text));
}

void Printout::leftRight(std::string_view left, std::string_view right) {
  const std::size_t used = columns(left) + columns(right);
  const std::size_t gap = used < kPaperColumns ? kPaperColumns - used : 1;
  lines_.push_back(std::string(left) + std::string(gap, ' ') + std::string(right));
}

void Printout::rule(char c) {
  lines_.push_back(std::string(kPaperColumns, c));
}

std::string money(long long grosze) {
  const bool negative = grosze < 0;
  const unsigned long long value = negative
                                       ? 0ull - static_cast<unsigned long long>(grosze)
                                       : static_cast<unsigned long long>(grosze);
  char text[40];
  std::snprintf(text, sizeof text, "%s%llu,%02llu", negative ? "-" : "", value / 100,
                value % 100);
  return text;
}

std::size_t markedWidth(std::string_view cp1250Text) {
  const Marks marks = readMarks(cp1250Text);
  const std::size_t n = marks.text.size();
  return marks.wide && n > 0 ? 2 * n - 1 : n;
}

bool appendToRoll(const std::string &path, const Printout &printout) {
  if (path.empty() || printout.empty()) return true;
  std::FILE *file = std::fopen(path.c_str(), "ab");
  if (file == nullptr) return false;
  bool written = true;
  for (const std::string &line : printout.lines()) {
    written = std::fwrite(line.data(), 1, line.size(), file) == line.size() && written;
    written = std::fputc('\n', file) != EOF && written;
  }
  return std::fclose(file) == 0 && written;
}

bool canAppendToRoll(const std::string &path) {
  std::FILE *file = std::fopen(path.c_str(), "ab");
  return file != nullptr && std::fclose(file) == 0;
}

} // namespace talmer
