// The daily and periodic reports, the VAT rates, the clock and paper feeds.
#include "engine/printer_model.h"
#include "engine/status_codes.h"
#include "platform/platform.h"

#include <cstdio>

namespace talmer {
namespace {

constexpr const char *kRateKeys[kRateCount] = {"va", "vb", "vc", "vd",
                                               "ve", "vf", "vg"};

long long sum(const Amounts &amounts) {
  long long s = 0;
  for (long long a : amounts)
    s += a;
  return s;
}

// The totals of a day or a period, per rate.
void printTotalsByRate(const Totals &t, const std::array<int, kRateCount> &rates,
                       Printout &paper) {
  for (int r = 0; r < kRateCount; ++r) {
    if (rates[r] == kRateInactive && t.gross[r] == 0) continue;
    const std::string letter(1, rateLetter(r));
    paper.leftRight("Sprzedaż " + letter + " " + rateLabel(rates[r]),
                    money(t.gross[r]));
    if (rates[r] != kRateExempt)
      paper.leftRight("Kwota PTU " + letter, money(t.vat[r]));
  }
  paper.leftRight("SUMA PTU", money(sum(t.vat)));
  paper.leftRight("SPRZEDAŻ RAZEM", money(sum(t.gross)));
  paper.leftRight("Liczba paragonów", std::to_string(t.receipts));
  paper.leftRight("Liczba faktur", std::to_string(t.invoices));
  paper.leftRight("Paragony anulowane", std::to_string(t.cancelled));
}

// "YYYY-MM-DD,HH:MM" strictly.
bool parseClock(const std::string &text, ClockTime *out) {
  if (text.size() != 16 || text[10] != ',' || text[13] != ':') return false;
  ClockTime t;
  if (!parseDate(std::string_view(text).substr(0, 10), &t.date)) return false;
  for (std::size_t i : {11u, 12u, 14u, 15u})
    if (text[i] < '0' || text[i] > '9') return false;
  t.hour = (text[11] - '0') * 10 + (text[12] - '0');
  t.minute = (text[14] - '0') * 10 + (text[15] - '0');
  if (t.hour > 23 || t.minute > 59) return false;
  *out = t;
  return true;
}

long long secondsOf(const ClockTime &t) {
  return daysFromDate(t.date) * 86400 + t.hour * 3600 + t.minute * 60;
}

} // namespace

std::int32_t Model::dailyrep(const Params &p, Outcome &, Printout &paper) {
  if (auto s = p.onlyKeys({})) return s;
  if (open_ != Open::Nothing) return kReportWithOpenReceipt;
  if (memory_.reportNumber >= kMaxNumber) return kFiscalMemoryFull;
  // The record's date is one the printer takes (and reads back from its
  // memory): a clock that has run past them must be set first.
  const Date today = now().date;
  if (!isRealDate(today)) return kBadDate;
  DailyRecord record;
  record.number = memory_.reportNumber + 1;
  record.date = formatDate(today);
  record.rates = memory_.rates;
  record.totals = memory_.day;

  printTitle(paper, "RAPORT DOBOWY FISKALNY");
  printTotalsByRate(record.totals, record.rates, paper);
  paper.rule();
  paper.leftRight("Raport nr " + std::to_string(record.number), stamp());
  paper.blank();

  memory_.records.push_back(record);
  memory_.reportNumber = record.number;
  memory_.day = Totals{};
  return kOk;
}

std::int32_t Model::periodicrepbydates(const Params &p, Outcome &, Printout &paper) {
  Date from, to;
  long long summaryOnly = 0;
  if (auto s = p.onlyKeys({"fd", "td", "su"})) return s;
  if (auto s = p.date("fd", &from)) return s;
  if (auto s = p.date("td", &to)) return s;
  if (from > to) return kReversedDates;
  if (auto s = p.number("su", false, 0, 1, &summaryOnly)) return s;
  if (open_ != Open::Nothing) return kReportWithOpenReceipt;

  printHeader(paper);
  paper.rule();
  paper.centred("RAPORT OKRESOWY");
  paper.centred("od " + formatDate(from) + " do " + formatDate(to));
  paper.rule();
  Totals period;
  int count = 0;
  const std::string first = formatDate(from), last = formatDate(to);
  for (const DailyRecord &r : memory_.records) {
    if (r.date < first || r.date > last) continue;
    ++count;
    period += r.totals;
    if (summaryOnly == 0)
      paper.leftRight("Raport nr " + std::to_string(r.number) + " " + r.date,
                      money(sum(r.totals.gross)));
  }
  if (count == 0) {
    paper.line("Brak raportów dobowych w okresie");
  } else {
    paper.rule();
    paper.leftRight("Raporty dobowe", std::to_string(count));
    printTotalsByRate(period, memory_.rates, paper);
  }
  paper.rule();
  paper.leftRight("Raport okresowy", stamp());
  paper.blank();
  return kOk;
}

std::int32_t Model::vatset(const Params &p, Outcome &, Printout &paper) {
  if (auto s = p.onlyKeys({"va", "vb", "vc", "vd", "ve", "vf", "vg"})) return s;
  std::array<int, kRateCount> rates = memory_.rates;
  bool any = false;
  for (int r = 0; r < kRateCount; ++r) {
    long long value = rates[r];
    if (auto s = p.number(kRateKeys[r], false, 0, kRateInactive, &value)) return s;
    any = any || p.has(kRateKeys[r]);
    rates[r] = static_cast<int>(value);
  }
  if (!any) return kMissingParameter;
  if (open_ != Open::Nothing) return kTransactionOpen;
  // The day's totals are taxed at the rates they were sold at: new rates
  // wait for the daily report that closes them.
  if (memory_.day != Totals{}) return kVatChangeWithSales;
  memory_.rates = rates;
  printTitle(paper, "ZMIANA STAWEK PTU");
  for (int r = 0; r < kRateCount; ++r)
    paper.leftRight("PTU " + std::string(1, rateLetter(r)), rateLabel(rates[r]));
  paper.rule();
  paper.leftRight("Zmiana stawek", stamp());
  paper.blank();
  return kOk;
}

std::int32_t Model::vatget(const Params &, Outcome &outcome, Printout &) {
  for (int r = 0; r < kRateCount; ++r)
    outcome.fields.push_back({kRateKeys[r], std::to_string(memory_.rates[r])});
  return kOk;
}

std::int32_t Model::rtcset(const Params &p, Outcome &, Printout &) {
  if (auto s = p.onlyKeys({"da"})) return s;
  const std::string *text = p.find("da");
  if (text == nullptr) return kMissingParameter;
  ClockTime wanted;
  if (!parseClock(*text, &wanted)) return kBadDate;
  if (open_ != Open::Nothing) return kTransactionOpen;
  // The offset that makes the printer's clock read the wanted minute now,
  // at its first second.
  const std::tm local = platform::localTimeNow();
  const ClockTime here{{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                       local.tm_hour,
                       local.tm_min};
  const long long offset = secondsOf(wanted) - secondsOf(here) - local.tm_sec;
  // Beyond what the memory keeps: the computer's own clock is far astray.
  if (offset < -kMaxClockOffset || offset > kMaxClockOffset) return kBadDate;
  memory_.clockOffset = offset;
  return kOk;
}

std::int32_t Model::rtcget(const Params &, Outcome &outcome, Printout &) {
  const ClockTime t = now();
  char text[16];
  std::snprintf(text, sizeof text, ",%02d:%02d", t.hour % 100, t.minute % 100);
  outcome.fields.push_back({"da", formatDate(t.date) + text});
  return kOk;
}

std::int32_t Model::papfeed(const Params &p, Outcome &, Printout &paper) {
  long long lines = 0;
  if (auto s = p.onlyKeys({"ln"})) return s;
  if (auto s = p.number("ln", true, 1, kMaxFeedLines, &lines)) return s;
  for (long long i = 0; i < lines; ++i)
    paper.blank();
  return kOk;
}

} // namespace talmer
