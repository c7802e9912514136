// The paper roll: a printout laid out in 40 columns, as a person reads it,
// appended to the TALMER_PAPER file in UTF-8.
#pragma once

#include "engine/inside.h"

#include <string>
#include <string_view>
#include <vector>

namespace talmer {

constexpr std::size_t kPaperColumns = 40;

/// The lines of one printout, in UTF-8.
class Printout {
public:
  /// A code page 1250 text that may carry the marks "&c" (centred) and "&w"
  /// (wide: letters spaced out), as in header and footer lines.
  void marked(std::string_view cp1250Text);
  /// A code page 1250 text, left-aligned.
  void text(std::string_view cp1250Text);
  /// A UTF-8 text, left-aligned.
  void line(std::string_view utf8Text) { lines_.emplace_back(utf8Text); }
  /// A UTF-8 text, centred.
  void centred(std::string_view utf8Text);
  /// A UTF-8 text on the left and one on the right, spaces between.
  void leftRight(std::string_view left, std::string_view right);
  void rule(char c = '-');
  void blank() { lines_.emplace_back(); }

  const std::vector<std::string> &lines() const { return lines_; }
  bool empty() const { return lines_.empty(); }

private:
  std::vector<std::string> lines_;
};

/// Grosze as złote: "1234,56", "-0,99".
std::string money(long long grosze);

/// Width of a marked text on paper (what "&w" doubles), in columns.
std::size_t markedWidth(std::string_view cp1250Text);

/// Appends the lines to the file; a path that is empty means no paper roll
/// file. False when the file can't be written: the paper is only a view, the
/// printout stays printed.
bool appendToRoll(const std::string &path, const Printout &printout);

/// True when the paper roll file can be appended to (it is made if missing).
bool canAppendToRoll(const std::string &path);

} // namespace talmer
