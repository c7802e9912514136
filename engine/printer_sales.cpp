// Receipts, VAT invoices and the packaging transaction: opening, lines,
// discounts, payments, the end with its checks, the footer and cancelling.
#include "engine/printer_model.h"
#include "engine/status_codes.h"
#include "platform/cp1250.h"

#include <numeric>

namespace talmer {
namespace {

/// A line's "pr" unit price, "il" quantity in thousandths (default 1) and
/// "wa" value, which must be their product, rounded (else 32).
std::int32_t pricedValue(const Params &p, long long *price, long long *quantity,
                         long long *value) {
  if (auto s = p.number("pr", true, 1, kMaxAmount, price)) return s;
  if (auto s = p.quantity("il", quantity)) return s;
  const long long computed = (*price * *quantity + 500) / 1000;
  if (computed < 1 || computed > kMaxAmount) return kOutOfRange;
  *value = computed;
  if (auto s = p.number("wa", false, 0, kMaxAmount, value)) return s;
  if (*value != computed) return kWrongTotal;
  return kOk;
}

// UTF-8 names of the payment types, "ty" 0 to 6.
constexpr const char *kPaymentTypes[] = {"Gotówka", "Czek",    "Karta", "Bon",
                                         "Kredyt",  "Przelew", "Inna"};

std::string quantityText(long long thousandths) {
  std::string text = std::to_string(thousandths / 1000);
  long long fraction = thousandths % 1000;
  if (fraction != 0) {
    std::string digits = std::to_string(1000 + fraction).substr(1);
    while (digits.back() == '0')
      digits.pop_back();
    text += "," + digits;
  }
  return text;
}

std::string percentText(long long hundredths) {
  return money(hundredths) + "%";
}

long long total(const Amounts &gross) {
  return std::accumulate(gross.begin(), gross.end(), 0ll);
}

// A discount (rd 1) or surcharge (rd 0) given by "rw" (grosze) or "rp"
// (hundredths of a percent) on an amount. Returns the signed change.
std::int32_t readDiscount(const Params &p, long long amount, long long *change,
                          std::string *label) {
  const bool byAmount = p.has("rw"), byPercent = p.has("rp");
  if (!p.has("rd")) {
    if (byAmount || byPercent) return kMissingParameter;
    *change = 0;
    return kOk;
  }
  long long kind = 0, value = 0;
  if (auto s = p.number("rd", true, 0, 1, &kind)) return s;
  if (!byAmount && !byPercent) return kMissingParameter;
  if (byAmount && byPercent) return kBadDiscount;
  if (byAmount) {
    if (auto s = p.number("rw", true, 1, kMaxAmount, &value)) return s;
  } else {
    if (auto s = p.number("rp", true, 1, 9999, &value)) return s;
    *label += " " + percentText(value);
    value = (amount * value + 5000) / 10000;
  }
  if (kind == 1 && value >= amount) return kBadDiscount;
  *change = kind == 1 ? -value : value;
  return kOk;
}

// The refusal for a sales request when no receipt or invoice is open.
std::int32_t notInSale(Open open) {
  return open == Open::Nothing || open == Open::Footer ? kNoTransaction
                                                       : kWrongSequence;
}

} // namespace

std::int32_t Model::roomForSale(Open kind) const {
  const Totals kept = lifetimeTotals(memory_);
  if (kind == Open::Receipt &&
      (memory_.receiptNumber >= kMaxNumber || kept.cancelled >= kMaxNumber))
    return kFiscalMemoryFull;
  if (kind == Open::Invoice && kept.invoices >= kMaxNumber) return kFiscalMemoryFull;
  for (long long gross : kept.gross)
    if (gross > kMaxTotal - kMaxAmount) return kFiscalMemoryFull;
  return kOk;
}

std::int32_t Model::trinit(const Params &p, Outcome &, Printout &paper) {
  long long mode = 0;
  if (auto s = p.onlyKeys({"bm"})) return s;
  if (auto s = p.number("bm", true, 0, 1, &mode)) return s;
  if (open_ != Open::Nothing) return kTransactionOpen;
  if (auto s = roomForSale(Open::Receipt)) return s;
  open_ = Open::Receipt;
  sale_ = Sale{};
  printTitle(paper, "PARAGON FISKALNY");
  return kOk;
}

std::int32_t Model::trfvinit(const Params &p, Outcome &, Printout &paper) {
  std::string number, buyer, taxNumber, paymentForm, issuer, receiver;
  long long persons = 0;
  Date due;
  if (auto s = p.onlyKeys({"nb", "ni", "na", "pd", "pt", "sc", "ss", "ps"})) return s;
  if (auto s = p.text("nb", true, 20, &number)) return s;
  if (auto s = p.text("ni", true, 20, &taxNumber)) return s;
  std::size_t digits = 0;
  for (char c : taxNumber) {
    if (c >= '0' && c <= '9')
      ++digits;
    else if (c != '-')
      return kBadTaxNumber;
  }
  if (digits != 10) return kBadTaxNumber;
  if (auto s = p.text("na", true, 40, &buyer)) return s;
  if (p.has("pd"))
    if (auto s = p.date("pd", &due)) return s;
  if (auto s = p.text("pt", false, 20, &paymentForm)) return s;
  if (auto s = p.text("sc", false, 30, &issuer)) return s;
  if (auto s = p.text("ss", false, 30, &receiver)) return s;
  if (auto s = p.number("ps", false, 0, 1, &persons)) return s;
  if (persons == 1 && (issuer.empty() || receiver.empty())) return kMissingParameter;
  if (open_ != Open::Nothing) return kTransactionOpen;
  if (auto s = roomForSale(Open::Invoice)) return s;

  open_ = Open::Invoice;
  sale_ = Sale{};
  sale_.invoiceNumber = number;
  if (persons == 1) {
    sale_.persons.push_back("Wystawił: " + cp1250::toUtf8(issuer));
    sale_.persons.push_back("Odebrał: " + cp1250::toUtf8(receiver));
  }
  printTitle(paper, "FAKTURA VAT nr " + cp1250::toUtf8(number));
  paper.text("Nabywca: " + buyer);
  paper.text("NIP: " + taxNumber);
  if (p.has("pd")) paper.leftRight("Termin płatności:", formatDate(due));
  if (!paymentForm.empty())
    paper.leftRight("Forma płatności:", cp1250::toUtf8(paymentForm));
  paper.rule();
  return kOk;
}

std::int32_t Model::trline(const Params &p, Outcome &, Printout &paper) {
  std::string name, discountName;
  long long rate = 0, price = 0, quantity = 1000, value = 0;
  if (auto s = p.onlyKeys({"na", "vt", "pr", "il", "wa", "rd", "rn", "rw", "rp"}))
    return s;
  if (auto s = p.text("na", true, 40, &name)) return s;
  if (auto s = p.number("vt", true, 0, kRateCount - 1, &rate)) return s;
  if (auto s = pricedValue(p, &price, &quantity, &value)) return s;
  if (auto s = p.text("rn", false, 40, &discountName)) return s;
  long long change = 0;
  std::string label;
  if (auto s = readDiscount(p, value, &change, &label)) return s;
  if (open_ != Open::Receipt && open_ != Open::Invoice) return notInSale(open_);
  if (memory_.rates[rate] == kRateInactive) return kInactiveVatRate;
  if (total(sale_.gross) + value + change > kMaxAmount) return kOutOfRange;

  sale_.gross[rate] += value + change;
  sale_.hasLines = true;
  const std::string letter(1, rateLetter(static_cast<int>(rate)));
  paper.text(name);
  paper.leftRight("  " + quantityText(quantity) + " x " + money(price),
                  money(value) + " " + letter);
  if (change != 0) {
    const std::string kind = change < 0 ? "Rabat" : "Narzut";
    paper.leftRight(
        "  " + (discountName.empty() ? kind : cp1250::toUtf8(discountName)) + label,
        money(change) + " " + letter);
  }
  return kOk;
}

std::int32_t Model::trdiscntbill(const Params &p, Outcome &, Printout &paper) {
  std::string name;
  if (auto s = p.onlyKeys({"na", "rd", "rp", "rw"})) return s;
  if (auto s = p.text("na", false, 40, &name)) return s;
  if (!p.has("rd")) return kMissingParameter;
  if (open_ != Open::Receipt && open_ != Open::Invoice) return notInSale(open_);
  const long long subtotal = total(sale_.gross);
  if (subtotal == 0) return kBadDiscount;
  long long change = 0;
  std::string label;
  if (auto s = readDiscount(p, subtotal, &change, &label)) return s;
  if (subtotal + change > kMaxAmount) return kOutOfRange;

  // Shared among the rates in proportion, each rounded down; the grosze that
  // rounding leaves go one each to the rates with the largest remainders, so
  // that no rate goes below zero or gets what it has no share of.
  const long long target = subtotal + change;
  Amounts shares{}, remainders{};
  long long given = 0;
  for (int r = 0; r < kRateCount; ++r) {
    shares[r] = sale_.gross[r] * target / subtotal;
    remainders[r] = sale_.gross[r] * target % subtotal;
    given += shares[r];
  }
  for (long long left = target - given; left > 0; --left) {
    int most = 0;
    for (int r = 1; r < kRateCount; ++r)
      if (remainders[r] > remainders[most]) most = r;
    ++shares[most];
    remainders[most] = -1;
  }
  sale_.gross = shares;
  paper.leftRight("Podsuma", money(subtotal));
  const std::string kind = change < 0 ? "Rabat" : "Narzut";
  paper.leftRight((name.empty() ? kind : cp1250::toUtf8(name)) + label, money(change));
  return kOk;
}

std::int32_t Model::trpayment(const Params &p, Outcome &, Printout &) {
  long long type = 0, returned = 0, amount = 0;
  std::string name;
  if (auto s = p.onlyKeys({"ty", "re", "wa", "na"})) return s;
  if (auto s = p.number("ty", true, 0, std::size(kPaymentTypes) - 1, &type)) return s;
  if (auto s = p.number("re", false, 0, 1, &returned)) return s;
  if (auto s = p.number("wa", true, 1, kMaxAmount, &amount)) return s;
  if (auto s = p.text("na", false, 20, &name)) return s;
  if (open_ != Open::Receipt && open_ != Open::Invoice) return notInSale(open_);
  const long long signedAmount = returned == 1 ? -amount : amount;
  if (sale_.paid + signedAmount > kMaxAmount) return kOutOfRange;

  sale_.paid += signedAmount;
  sale_.hasPayments = true;
  std::string label = kPaymentTypes[type];
  if (!name.empty()) label += " " + cp1250::toUtf8(name);
  if (returned == 1) label = "Zwrot: " + label;
  sale_.paymentLines.emplace_back(label, money(signedAmount));
  return kOk;
}

std::int32_t Model::trpaymentcurr(const Params &p, Outcome &, Printout &) {
  long long amount = 0, rate = 0;
  std::string name, symbol;
  if (auto s = p.onlyKeys({"wc", "ra", "na", "sb"})) return s;
  if (auto s = p.number("wc", true, 1, kMaxAmount, &amount)) return s;
  if (auto s = p.number("ra", true, 1, 99'999'999, &rate)) return s;
  if (auto s = p.text("na", false, 20, &name)) return s;
  if (auto s = p.text("sb", false, 4, &symbol)) return s;
  if (open_ != Open::Receipt && open_ != Open::Invoice) return notInSale(open_);
  const long long home = (amount * rate + 5000) / 10000; // "ra" in 1/10000
  if (home < 1 || sale_.paid + home > kMaxAmount) return kOutOfRange;

  sale_.paid += home;
  sale_.hasPayments = true;
  char rateText[32];
  std::snprintf(rateText, sizeof rateText, "%lld,%04lld", rate / 10000, rate % 10000);
  std::string currency = cp1250::toUtf8(name.empty() ? symbol : name);
  sale_.paymentLines.emplace_back(
      "Waluta " + currency,
      money(amount) + (symbol.empty() ? "" : " " + cp1250::toUtf8(symbol)));
  sale_.paymentLines.emplace_back(std::string("  kurs ") + rateText, money(home));
  return kOk;
}

void Model::printTotals(const Sale &sale, long long sum, Printout &paper) const {
  paper.rule();
  long long vatSum = 0;
  for (int r = 0; r < kRateCount; ++r) {
    if (sale.gross[r] == 0) continue;
    const std::string letter(1, rateLetter(r));
    paper.leftRight("Sprzedaż opodatk. " + letter, money(sale.gross[r]));
    const long long vat = vatOf(sale.gross[r], memory_.rates[r]);
    paper.leftRight("Kwota PTU " + letter + " " + rateLabel(memory_.rates[r]),
                    money(vat));
    vatSum += vat;
  }
  paper.leftRight("SUMA PTU", money(vatSum));
  paper.rule();
  paper.leftRight("SUMA PLN", money(sum));
}

std::int32_t Model::trend(const Params &p, Outcome &, Printout &paper) {
  long long footer = 1;
  if (open_ == Open::Packaging) {
    long long taken = 0, returned = 0;
    if (auto s = p.onlyKeys({"op", "om", "fe"})) return s;
    if (auto s = p.number("op", true, 0, kMaxAmount, &taken)) return s;
    if (auto s = p.number("om", true, 0, kMaxAmount, &returned)) return s;
    if (auto s = p.number("fe", false, 0, 1, &footer)) return s;
    if (taken != packaging_.taken || returned != packaging_.returned)
      return kWrongPackagingSums;
    open_ = Open::Nothing;
    paper.rule();
    paper.leftRight("Pobrane opakowania", money(taken));
    paper.leftRight("Zwrócone opakowania", money(-returned));
    paper.leftRight("RAZEM", money(taken - returned));
    paper.rule();
    printClosing("Rozliczenie opakowań", footer == 1, paper);
    return kOk;
  }

  long long expected = 0, paid = 0;
  if (auto s = p.onlyKeys({"to", "fp", "fe"})) return s;
  if (auto s = p.number("to", true, 0, kMaxAmount, &expected)) return s;
  if (auto s = p.number("fp", false, 0, kMaxAmount, &paid)) return s;
  if (auto s = p.number("fe", false, 0, 1, &footer)) return s;
  if (open_ != Open::Receipt && open_ != Open::Invoice) return notInSale(open_);
  if (!sale_.hasLines) return kWrongSequence;
  const long long sum = total(sale_.gross);
  if (expected != sum) return kWrongTotal;
  if (!p.has("fp"))
    paid = sale_.hasPayments ? sale_.paid : sum;
  else if (sale_.hasPayments && paid != sale_.paid)
    return kPaymentMismatch;
  if (paid < sum) return kPaymentTooLow;

  printTotals(sale_, sum, paper);
  if (sale_.paymentLines.empty()) paper.leftRight(kPaymentTypes[0], money(paid));
  for (const auto &[label, amount] : sale_.paymentLines)
    paper.leftRight(label, amount);
  if (paid > sum) paper.leftRight("Reszta", money(paid - sum));
  for (const std::string &line : sale_.persons)
    paper.line(line);
  paper.rule();

  Totals &day = memory_.day;
  for (int r = 0; r < kRateCount; ++r) {
    day.gross[r] += sale_.gross[r];
    day.vat[r] += vatOf(sale_.gross[r], memory_.rates[r]);
  }
  std::string closing;
  if (open_ == Open::Invoice) {
    ++day.invoices;
    closing = "Faktura nr " + cp1250::toUtf8(sale_.invoiceNumber);
  } else {
    ++day.receipts;
    closing = "Paragon nr " + std::to_string(++memory_.receiptNumber);
  }
  open_ = Open::Nothing;
  printClosing(closing, footer == 1, paper);
  return kOk;
}

std::int32_t Model::trftrend(const Params &p, Outcome &, Printout &paper) {
  if (auto s = p.onlyKeys({})) return s;
  if (open_ != Open::Footer) return kFooterAfterEnd;
  open_ = Open::Nothing;
  printFooter(paper);
  paper.blank();
  return kOk;
}

std::int32_t Model::trpackinit(const Params &p, Outcome &, Printout &paper) {
  if (auto s = p.onlyKeys({})) return s;
  if (open_ != Open::Nothing) return kTransactionOpen;
  open_ = Open::Packaging;
  packaging_ = Packaging{};
  printTitle(paper, "ROZLICZENIE OPAKOWAŃ");
  return kOk;
}

std::int32_t Model::trpack(const Params &p, Outcome &, Printout &paper) {
  std::string name;
  long long returned = 0, price = 0, quantity = 1000, value = 0;
  if (auto s = p.onlyKeys({"na", "ne", "pr", "il", "wa"})) return s;
  if (auto s = p.text("na", true, 40, &name)) return s;
  if (auto s = p.number("ne", true, 0, 1, &returned)) return s;
  if (auto s = pricedValue(p, &price, &quantity, &value)) return s;
  if (open_ != Open::Packaging)
    return open_ == Open::Nothing || open_ == Open::Footer ? kNoTransaction
                                                           : kWrongSequence;
  long long &sum = returned == 1 ? packaging_.returned : packaging_.taken;
  if (sum + value > kMaxAmount) return kOutOfRange;
  sum += value;
  paper.text("Opakowanie " + name + (returned == 1 ? " (zwrot)" : " (pobranie)"));
  paper.leftRight("  " + quantityText(quantity) + " x " + money(price),
                  money(returned == 1 ? -value : value));
  return kOk;
}

std::int32_t Model::prncancel(const Params &, Outcome &, Printout &paper) {
  // Always accepted: it cancels whatever is open, and does nothing otherwise.
  switch (open_) {
  case Open::Nothing:
    return kOk;
  case Open::Receipt:
    ++memory_.day.cancelled;
    paper.rule();
    paper.centred("*** PARAGON ANULOWANY ***");
    break;
  case Open::Invoice:
    paper.rule();
    paper.centred("*** FAKTURA ANULOWANA ***");
    break;
  case Open::Packaging:
    paper.rule();
    paper.centred("*** ROZLICZENIE ANULOWANE ***");
    break;
  case Open::Form:
    paper.rule();
    paper.centred("*** FORMATKA PRZERWANA ***");
    break;
  case Open::Footer:
    printFooter(paper);
    break;
  }
  open_ = Open::Nothing;
  paper.blank();
  return kOk;
}

} // namespace talmer
