// Forms 25 and 32, and the texts of printouts: header, footer lines and the
// footer barcode.
#include "engine/printer_model.h"
#include "engine/status_codes.h"
#include "engine/text_checks.h"

namespace talmer {
namespace {

struct FormKind {
  int number;
  int lines;
  const char *title; // UTF-8
};

constexpr FormKind kForms[] = {
    {25, 8, "BON RABATOWY"},
    {32, 18, "POTWIERDZENIE ZAPŁATY KARTĄ"},
};

const FormKind *findForm(long long number) {
  for (const FormKind &f : kForms)
    if (f.number == number) return &f;
  return nullptr;
}

constexpr std::size_t kFormTextLines = 4;

// Splits a text at line feeds.
std::vector<std::string> splitLines(const std::string &text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + 1;
  }
}

// Lines of a header or footer text: at most maxLines, each fitting the paper.
std::int32_t markedLines(const Params &p, std::size_t maxLines,
                         std::vector<std::string> *lines) {
  const std::string *text = p.find("tx");
  if (text == nullptr || text->empty()) return kMissingParameter;
  *lines = splitLines(*text);
  if (lines->size() > maxLines) return kOutOfRange;
  for (const std::string &line : *lines)
    if (markedWidth(line) > kPaperColumns) return kTextTooLong;
  return kOk;
}

// "fn" of a form request: a known form.
std::int32_t formKind(const Params &p, const FormKind **kind) {
  long long number = 0;
  if (auto s = p.number("fn", true, 0, 9999, &number)) return s;
  *kind = findForm(number);
  return *kind == nullptr ? kUnknownForm : kOk;
}

// A form request needs that form open.
std::int32_t formOpen(const FormKind *kind, const OpenForm &open, Open state) {
  if (state != Open::Form)
    return state == Open::Nothing ? kNoTransaction : kWrongSequence;
  return kind->number == open.number ? kOk : kWrongSequence;
}

} // namespace

std::int32_t Model::formstart(const Params &p, Outcome &, Printout &paper) {
  long long header = 0;
  const FormKind *kind = nullptr;
  if (auto s = p.onlyKeys({"fn", "fh"})) return s;
  if (auto s = formKind(p, &kind)) return s;
  if (auto s = p.number("fh", false, 0, 1, &header)) return s;
  if (open_ != Open::Nothing) return kTransactionOpen;
  open_ = Open::Form;
  form_ = OpenForm{kind->number, kind->lines, -1};
  if (header == 1) printHeader(paper);
  paper.rule();
  paper.centred(kind->title);
  paper.rule();
  return kOk;
}

std::int32_t Model::formline(const Params &p, Outcome &, Printout &paper) {
  long long line = 0;
  if (auto s = p.onlyKeys({"fn", "fl", "s1"})) return s;
  const FormKind *kind = nullptr;
  if (auto s = formKind(p, &kind)) return s;
  if (auto s = p.number("fl", true, 0, 9999, &line)) return s;
  if (line >= kind->lines) return kFormLineOutOfRange;
  if (auto s = formOpen(kind, form_, open_)) return s;
  if (line <= form_.lastLine) return kFormLineOrder;
  std::vector<std::string> text;
  if (const std::string *s1 = p.find("s1")) {
    text = splitLines(*s1);
    if (text.size() > kFormTextLines) return kTextTooLong;
    for (const std::string &l : text)
      if (l.size() > kPaperColumns) return kTextTooLong;
  }
  form_.lastLine = static_cast<int>(line);
  for (const std::string &l : text)
    paper.text(l);
  return kOk;
}

std::int32_t Model::formend(const Params &p, Outcome &, Printout &paper) {
  const FormKind *kind = nullptr;
  if (auto s = p.onlyKeys({"fn"})) return s;
  if (auto s = formKind(p, &kind)) return s;
  if (auto s = formOpen(kind, form_, open_)) return s;
  open_ = Open::Nothing;
  paper.rule();
  paper.leftRight("Formatka " + std::to_string(form_.number), stamp());
  paper.blank();
  return kOk;
}

std::int32_t Model::ftrcfg(const Params &p, Outcome &, Printout &) {
  std::string barcode;
  if (auto s = p.onlyKeys({"bc"})) return s;
  if (auto s = p.text("bc", true, kMaxBarcodeDigits, &barcode)) return s;
  if (!barcode.empty() && !allDigits(barcode)) return kBadNumber;
  memory_.barcode = barcode;
  return kOk;
}

std::int32_t Model::ftrinfoset(const Params &p, Outcome &, Printout &) {
  long long first = 0;
  std::vector<std::string> lines;
  if (auto s = p.onlyKeys({"lb", "tx"})) return s;
  if (auto s = p.number("lb", true, 0, kFooterLines - 1, &first)) return s;
  if (auto s = markedLines(p, kFooterLines - static_cast<std::size_t>(first), &lines))
    return s;
  for (std::size_t i = 0; i < lines.size(); ++i)
    memory_.footer[static_cast<std::size_t>(first) + i] = lines[i];
  return kOk;
}

std::int32_t Model::hdrset(const Params &p, Outcome &, Printout &) {
  std::vector<std::string> lines;
  if (auto s = p.onlyKeys({"tx"})) return s;
  if (auto s = markedLines(p, kHeaderLines, &lines)) return s;
  if (open_ != Open::Nothing && open_ != Open::Footer) return kTransactionOpen;
  memory_.header = lines;
  return kOk;
}

} // namespace talmer
