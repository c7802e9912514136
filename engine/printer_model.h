// The printer model's inside: the state of an open printer and one handler
// per request. Handlers live by subject in printer_sales.cpp,
// printer_forms.cpp and printer_reports.cpp; printer.cpp dispatches.
#pragma once

#include "engine/fiscal_memory.h"
#include "engine/inside.h"
#include "engine/paper_roll.h"
#include "engine/printer.h"
#include "engine/printer_params.h"
#include "engine/printer_status.h"
#include "platform/files.h"

#include <string>
#include <utility>
#include <vector>

namespace talmer {

constexpr long long kMaxAmount = 999'999'999; ///< grosze, in any one value or sum
constexpr long kMaxFeedLines = 50;            ///< "papfeed" "ln": 1 to 50
static_assert(kMaxTotal == kMaxAmount * 10'000'000);

/// The printer's clock to the minute.
struct ClockTime {
  Date date;
  int hour = 0, minute = 0;
};

/// "YYYY-MM-DD" of a date.
std::string formatDate(const Date &date);

/// What is open on the printer.
enum class Open { Nothing, Receipt, Invoice, Packaging, Form, Footer };

/// An open receipt or invoice.
struct Sale {
  Amounts gross{}; ///< per rate, after every discount so far
  bool hasLines = false;
  long long paid = 0; ///< payments in the home currency
  bool hasPayments = false;
  std::vector<std::pair<std::string, std::string>> paymentLines; ///< UTF-8
  std::string invoiceNumber;                                     ///< invoices only
  std::vector<std::string> persons; ///< UTF-8 lines printed at the end
};

struct Packaging {
  long long taken = 0;    ///< "ne" 0
  long long returned = 0; ///< "ne" 1
};

struct OpenForm {
  int number = 0;
  int lines = 0;
  int lastLine = -1;
};

class Model final : public Printer {
public:
  Model(PrinterOptions options, const PrinterStatus &status, FiscalMemory memory,
        std::string saved, platform::FileLock *lock);
  ~Model() override;
  Model(const Model &) = delete;
  Model &operator=(const Model &) = delete;

  Outcome execute(const Command &command) override;
  const FiscalMemory &memory() const override { return memory_; }

  using Handler = std::int32_t (Model::*)(const Params &, Outcome &, Printout &);

  // Sales: receipts, invoices, packaging (printer_sales.cpp).
  std::int32_t trinit(const Params &, Outcome &, Printout &);
  std::int32_t trfvinit(const Params &, Outcome &, Printout &);
  std::int32_t trline(const Params &, Outcome &, Printout &);
  std::int32_t trdiscntbill(const Params &, Outcome &, Printout &);
  std::int32_t trpayment(const Params &, Outcome &, Printout &);
  std::int32_t trpaymentcurr(const Params &, Outcome &, Printout &);
  std::int32_t trpackinit(const Params &, Outcome &, Printout &);
  std::int32_t trpack(const Params &, Outcome &, Printout &);
  std::int32_t trend(const Params &, Outcome &, Printout &);
  std::int32_t trftrend(const Params &, Outcome &, Printout &);
  std::int32_t prncancel(const Params &, Outcome &, Printout &);

  // Forms and printout texts (printer_forms.cpp).
  std::int32_t formstart(const Params &, Outcome &, Printout &);
  std::int32_t formline(const Params &, Outcome &, Printout &);
  std::int32_t formend(const Params &, Outcome &, Printout &);
  std::int32_t ftrcfg(const Params &, Outcome &, Printout &);
  std::int32_t ftrinfoset(const Params &, Outcome &, Printout &);
  std::int32_t hdrset(const Params &, Outcome &, Printout &);

  // Reports, settings, clock, paper (printer_reports.cpp).
  std::int32_t dailyrep(const Params &, Outcome &, Printout &);
  std::int32_t periodicrepbydates(const Params &, Outcome &, Printout &);
  std::int32_t vatset(const Params &, Outcome &, Printout &);
  std::int32_t vatget(const Params &, Outcome &, Printout &);
  std::int32_t rtcset(const Params &, Outcome &, Printout &);
  std::int32_t rtcget(const Params &, Outcome &, Printout &);
  std::int32_t papfeed(const Params &, Outcome &, Printout &);

private:
  ClockTime now() const;
  std::string stamp() const; ///< "YYYY-MM-DD HH:MM" of the printer's clock
  bool canPrint() const { return status_.printingRefusal() == 0; }
  /// Puts a printout on the paper roll and tells who listens.
  void print(const Printout &paper);
  void warnRoll(); ///< once: the paper roll file can't be written
  void printHeader(Printout &paper) const;
  /// The header, then the printout's title between two rules.
  void printTitle(Printout &paper, const std::string &title) const;
  void printFooter(Printout &paper) const;
  void printTotals(const Sale &sale, long long total, Printout &paper) const;
  /// The printout's closing line: its number (or name) and the time.
  void printClosing(std::string_view left, bool footer, Printout &paper);
  /// kOk when the memory can count one more receipt or invoice, whatever
  /// it sells and however it ends; else kFiscalMemoryFull.
  std::int32_t roomForSale(Open kind) const;
  /// Writes the memory when the request changed it. False when the file
  /// can't be written: the memory is then as the file holds it.
  bool keepMemory();

  PrinterOptions options_;
  const PrinterStatus &status_;
  FiscalMemory memory_;
  std::string saved_;        ///< the memory file's text as last written or read
  platform::FileLock *lock_; ///< the memory file's, while the printer is on
  bool rollWarned_ = false;

  Open open_ = Open::Nothing;
  Sale sale_;
  Packaging packaging_;
  OpenForm form_;
};

/// The VAT in a gross amount at a rate (percent, or exempt).
long long vatOf(long long gross, int rate);
/// "23%", "zw." (exempt) or "-" (inactive), UTF-8.
std::string rateLabel(int rate);
/// 'A' to 'G'.
inline char rateLetter(int index) {
  return static_cast<char>('A' + index);
}

} // namespace talmer
