#include "engine/fiscal_memory.h"

#include "engine/text_checks.h"

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <set>
#include <sstream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "engine/paper_roll.h"
#include "engine/printer_params.h"
#include "engine/status_codes.h"
#include "platform/cp1250.h"
#include "platform/files.h"

namespace talmer {
namespace {

constexpr const char *kMagic = "talmer-fiscal-memory 1";

std::uint64_t checksum(std::string_view text) {
  std::uint64_t hash = 1469598103934665603ull; // FNV-1a
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

// A code page 1250 text as one line of UTF-8, with backslash escapes.
std::string escape(const std::string &cp1250Text) {
  std::string out;
  for (char c : cp1250::toUtf8(cp1250Text)) {
    if (c == '\\') {
      out += "\\\\";
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
      out += hex;
    } else {
      out += c;
    }
  }
  return out;
}

bool unescape(std::string_view text, std::string *cp1250Text) {
  std::string utf8;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      utf8 += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '\\') {
      utf8 += '\\';
      ++i;
    } else if (i + 3 < text.size() && text[i + 1] == 'x') {
      unsigned value = 0;
      if (std::sscanf(std::string(text.substr(i + 2, 2)).c_str(), "%2X", &value) != 1)
        return false;
      utf8 += static_cast<char>(value);
      i += 3;
    } else {
      return false;
    }
  }
  *cp1250Text = cp1250::fromUtf8(utf8);
  return true;
}

void writeTotals(std::ostringstream &out, const Totals &t) {
  out << t.receipts << ' ' << t.invoices << ' ' << t.cancelled;
  for (long long g : t.gross)
    out << ' ' << g;
  for (long long v : t.vat)
    out << ' ' << v;
}

bool readTotals(std::istringstream &in, Totals *t) {
  in >> t->receipts >> t->invoices >> t->cancelled;
  for (long long &g : t->gross)
    in >> g;
  for (long long &v : t->vat)
    in >> v;
  return !in.fail();
}

// Everything of the line read, and nothing left over.
bool atEnd(std::istringstream &in) {
  if (in.fail()) return false;
  if (!in.eof()) in >> std::ws;
  return in.eof();
}

bool validRates(const std::array<int, kRateCount> &rates) {
  for (int r : rates)
    if (r < 0 || r > kRateInactive) return false;
  return true;
}

// Items that a memory holds once; the first five it must hold.
constexpr const char *kSingleKeys[] = {
    "clock-offset", "receipt-number", "report-number", "rates", "day", "barcode"};
constexpr std::size_t kRequiredKeys = 5;

bool parseLine(const std::string &line, FiscalMemory *m, std::set<std::string> *seen) {
  std::istringstream in(line);
  std::string key;
  in >> key;
  const std::size_t space = line.find(' ');
  const std::string_view rest = space == std::string::npos
                                    ? std::string_view()
                                    : std::string_view(line).substr(space + 1);
  const bool single = std::find(std::begin(kSingleKeys), std::end(kSingleKeys), key) !=
                      std::end(kSingleKeys);
  if (single && !seen->insert(key).second) return false;
  if (key == "clock-offset") {
    in >> m->clockOffset;
  } else if (key == "receipt-number") {
    in >> m->receiptNumber;
  } else if (key == "report-number") {
    in >> m->reportNumber;
  } else if (key == "rates") {
    for (int &r : m->rates)
      in >> r;
    if (!validRates(m->rates)) return false;
  } else if (key == "day") {
    if (!readTotals(in, &m->day)) return false;
  } else if (key == "header") {
    std::string text;
    if (!unescape(rest, &text)) return false;
    m->header.push_back(text);
    return m->header.size() <= kHeaderLines;
  } else if (key == "footer") {
    std::size_t index = kFooterLines;
    in >> index;
    const std::size_t at = rest.find(' ');
    if (in.fail() || index >= kFooterLines || at == std::string_view::npos ||
        !seen->insert("footer " + std::to_string(index)).second)
      return false;
    return unescape(rest.substr(at + 1), &m->footer[index]);
  } else if (key == "barcode") {
    in >> m->barcode;
  } else if (key == "record") {
    DailyRecord r;
    in >> r.number >> r.date;
    for (int &rate : r.rates)
      in >> rate;
    Date date;
    if (!readTotals(in, &r.totals) || !validRates(r.rates) || !parseDate(r.date, &date))
      return false;
    m->records.push_back(r);
  } else {
    return false;
  }
  return atEnd(in);
}

// Counts and amounts that a day or a record can hold.
bool possibleTotals(const Totals &t) {
  for (long count : {t.receipts, t.invoices, t.cancelled})
    if (count < 0 || count > kMaxNumber) return false;
  for (int r = 0; r < kRateCount; ++r)
    if (t.gross[r] < 0 || t.gross[r] > kMaxTotal || t.vat[r] < 0 ||
        t.vat[r] > t.gross[r])
      return false;
  return true;
}

// Adds possible totals to a sum within the bounds; false when the sum goes
// beyond them. Neither overflows.
bool addWithinBounds(const Totals &t, Totals *sum) {
  *sum += t;
  bool within = sum->receipts <= kMaxNumber && sum->invoices <= kMaxNumber &&
                sum->cancelled <= kMaxNumber;
  for (int r = 0; r < kRateCount; ++r)
    within = within && sum->gross[r] <= kMaxTotal;
  return within;
}

bool fitsThePaper(const std::string &markedText) {
  return markedWidth(markedText) <= kPaperColumns;
}

// What a printer could have kept: numbers, clock, texts as the requests
// take them, records in order, and sums within the bounds.
bool possibleMemory(const FiscalMemory &m) {
  if (m.clockOffset < -kMaxClockOffset || m.clockOffset > kMaxClockOffset ||
      m.receiptNumber < 0 || m.receiptNumber > kMaxNumber || m.reportNumber < 0 ||
      m.reportNumber > kMaxNumber)
    return false;
  if (!std::all_of(m.header.begin(), m.header.end(), fitsThePaper) ||
      !std::all_of(m.footer.begin(), m.footer.end(), fitsThePaper))
    return false;
  if (m.barcode.size() > kMaxBarcodeDigits ||
      (!m.barcode.empty() && !allDigits(m.barcode)))
    return false;
  Totals sum;
  long last = 0;
  for (const DailyRecord &r : m.records) {
    if (r.number <= last || r.number > m.reportNumber) return false;
    last = r.number;
    if (!possibleTotals(r.totals) || !addWithinBounds(r.totals, &sum)) return false;
  }
  return possibleTotals(m.day) && addWithinBounds(m.day, &sum) &&
         sum.receipts <= m.receiptNumber;
}

} // namespace

Totals lifetimeTotals(const FiscalMemory &memory) {
  Totals sum;
  for (const DailyRecord &r : memory.records)
    addWithinBounds(r.totals, &sum);
  addWithinBounds(memory.day, &sum);
  return sum;
}

std::string serializeMemory(const FiscalMemory &m) {
  std::ostringstream out;
  out << kMagic << '\n';
  out << "clock-offset " << m.clockOffset << '\n';
  out << "receipt-number " << m.receiptNumber << '\n';
  out << "report-number " << m.reportNumber << '\n';
  out << "rates";
  for (int r : m.rates)
    out << ' ' << r;
  out << "\nday ";
  writeTotals(out, m.day);
  out << '\n';
  for (const std::string &line : m.header)
    out << "header " << escape(line) << '\n';
  for (std::size_t i = 0; i < m.footer.size(); ++i)
    if (!m.footer[i].empty())
      out << "footer " << i << ' ' << escape(m.footer[i]) << '\n';
  if (!m.barcode.empty()) out << "barcode " << m.barcode << '\n';
  for (const DailyRecord &r : m.records) {
    out << "record " << r.number << ' ' << r.date;
    for (int rate : r.rates)
      out << ' ' << rate;
    out << ' ';
    writeTotals(out, r.totals);
    out << '\n';
  }
  return sealMemory(out.str());
}

std::string sealMemory(const std::string &body) {
  char sum[40];
  std::snprintf(sum, sizeof sum, "checksum %016" PRIx64 "\n", checksum(body));
  return body + sum;
}

bool parseMemory(const std::string &text, FiscalMemory *memory) {
  // The last line is the checksum of everything before it.
  if (text.empty() || text.back() != '\n') return false;
  const std::size_t last = text.rfind('\n', text.size() - 2);
  if (last == std::string::npos) return false;
  if (sealMemory(text.substr(0, last + 1)) != text) return false;

  FiscalMemory m;
  m.header.clear();
  std::istringstream lines(text.substr(0, last + 1));
  std::string line;
  if (!std::getline(lines, line) || line != kMagic) return false;
  std::set<std::string> seen;
  while (std::getline(lines, line))
    if (!parseLine(line, &m, &seen)) return false;
  for (std::size_t i = 0; i < kRequiredKeys; ++i)
    if (seen.count(kSingleKeys[i]) == 0) return false;
  if (!possibleMemory(m)) return false;
  *memory = m;
  return true;
}

std::int32_t loadMemory(const std::string &path, FiscalMemory *memory,
                        std::string *why) {
  std::string text;
  const platform::ReadResult read =
      platform::readRegularFile(path, kMaxMemoryBytes, &text);
  if (read == platform::ReadResult::Missing) return kOk;
  if (read != platform::ReadResult::Read) {
    if (why != nullptr) *why = platform::describeReadResult(read);
    return kStateFileDamaged;
  }
  if (!parseMemory(text, memory)) {
    if (why != nullptr) *why = "not an intact fiscal memory file; it is left as it is";
    return kStateFileDamaged;
  }
  return kOk;
}

std::int32_t saveMemory(const std::string &path, const std::string &text) {
  const std::string aside = path + ".new";
  std::FILE *file = std::fopen(aside.c_str(), "wb");
  if (file == nullptr) return kStateFileWrite;
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fflush(file) == 0 && ok;
#ifdef _WIN32
  ok = _commit(_fileno(file)) == 0 && ok;
#else
  ok = fsync(fileno(file)) == 0 && ok;
#endif
  ok = std::fclose(file) == 0 && ok;
#ifdef _WIN32
  ok = ok && MoveFileExA(aside.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  ok = ok && std::rename(aside.c_str(), path.c_str()) == 0;
#endif
  if (!ok) std::remove(aside.c_str());
  return ok ? kOk : kStateFileWrite;
}

} // namespace talmer
