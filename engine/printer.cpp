// The printer model: the table of requests, the dispatch of a request to its
// handler, the paper and cover faults, the clock and saving fiscal memory.
#include "engine/printer.h"

#include "engine/printer_model.h"
#include "engine/status_codes.h"
#include "platform/platform.h"

#include <cstdio>

namespace talmer {
namespace {

struct Request {
  std::string_view name;
  Model::Handler handler;
  bool prints; ///< refused while the paper is out or the cover open
};

constexpr Request kRequests[] = {
    {"trinit", &Model::trinit, true},
    {"trline", &Model::trline, true},
    {"trend", &Model::trend, true},
    {"trdiscntbill", &Model::trdiscntbill, true},
    {"trpaymentcurr", &Model::trpaymentcurr, true},
    {"trpayment", &Model::trpayment, true},
    {"trftrend", &Model::trftrend, true},
    {"trpackinit", &Model::trpackinit, true},
    {"trpack", &Model::trpack, true},
    {"trfvinit", &Model::trfvinit, true},
    {"formstart", &Model::formstart, true},
    {"formline", &Model::formline, true},
    {"formend", &Model::formend, true},
    {"ftrcfg", &Model::ftrcfg, false},
    {"ftrinfoset", &Model::ftrinfoset, false},
    {"hdrset", &Model::hdrset, false},
    {"dailyrep", &Model::dailyrep, true},
    {"periodicrepbydates", &Model::periodicrepbydates, true},
    {"vatset", &Model::vatset, true},
    {"rtcset", &Model::rtcset, false},
    {"papfeed", &Model::papfeed, true},
    {"prncancel", &Model::prncancel, false},
    {"rtcget", &Model::rtcget, false},
    {"vatget", &Model::vatget, false},
};

const Request *findRequest(std::string_view name) {
  for (const Request &r : kRequests)
    if (r.name == name) return &r;
  return nullptr;
}

// Status bits (docs/virtual-printer.md).
constexpr std::int32_t kGlobalCannotPrint = 0x0001;
constexpr std::int32_t kPrinterPaperOut = 0x0001;
constexpr std::int32_t kPrinterCoverOpen = 0x0002;

// Nominal times: the mechanism's start and each printed line.
constexpr std::uint32_t kRequestMs = 10;
constexpr std::uint32_t kLineMs = 25;

} // namespace

std::string formatDate(const Date &date) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year % 10000,
                date.month % 100, date.day % 100);
  return text;
}

long long vatOf(long long gross, int rate) {
  if (rate <= 0 || rate >= kRateExempt) return 0;
  // Rounded half up: gross * rate / (100 + rate).
  return (gross * rate * 2 + (100 + rate)) / ((100 + rate) * 2);
}

std::string rateLabel(int rate) {
  if (rate == kRateExempt) return "zw.";
  if (rate == kRateInactive) return "-";
  return std::to_string(rate) + "%";
}

Model::Model(PrinterOptions options, FiscalMemory memory, std::string saved)
    : options_(std::move(options)), memory_(std::move(memory)),
      saved_(std::move(saved)) {}

Outcome Model::execute(const Command &command) {
  Outcome outcome;
  const Request *request = findRequest(command.name);
  std::int32_t code = kUnknownCommand;
  Printout paper;
  if (request != nullptr) {
    if (request->prints && paperOut_)
      code = kPaperOut;
    else if (request->prints && coverOpen_)
      code = kCoverOpen;
    else
      code = (this->*request->handler)(Params(command.params), outcome, paper);
  }
  // A refused request changes nothing and prints nothing. Fiscal memory
  // first, then the paper: a kill in between leaves a number kept but not
  // printed, never one printed that the memory doesn't know.
  if (code == kOk && !keepMemory()) code = kStateFileWrite;
  if (code != kOk) {
    outcome = Outcome{};
    outcome.status = code;
    outcome.fields.push_back({"cm", command.name});
    outcome.nominalMs = kRequestMs;
    return outcome;
  }
  if (canPrint()) appendToRoll(options_.paperPath, paper);
  outcome.nominalMs =
      kRequestMs + kLineMs * static_cast<std::uint32_t>(paper.lines().size());
  return outcome;
}

bool Model::keepMemory() {
  if (options_.statePath.empty()) return true;
  std::string text = serializeMemory(memory_);
  if (text == saved_) return true;
  if (saveMemory(options_.statePath, text) != kOk) {
    // Not kept: the memory goes back to what the file holds, and what the
    // request printed is not printed. saved_ is a text this printer wrote.
    parseMemory(saved_, &memory_);
    return false;
  }
  saved_ = std::move(text);
  return true;
}

StatusPair Model::status() const {
  StatusPair pair;
  if (paperOut_) pair.printer |= kPrinterPaperOut;
  if (coverOpen_) pair.printer |= kPrinterCoverOpen;
  if (!canPrint()) pair.global |= kGlobalCannotPrint;
  return pair;
}

ClockTime Model::now() const {
  const std::tm local = platform::localTimeNow();
  const Date today{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
  const long long seconds = daysFromDate(today) * 86400 + local.tm_hour * 3600 +
                            local.tm_min * 60 + local.tm_sec + memory_.clockOffset;
  long long days = seconds / 86400;
  long long rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  return {dateFromDays(days), static_cast<int>(rest / 3600),
          static_cast<int>(rest % 3600 / 60)};
}

std::string Model::stamp() const {
  const ClockTime t = now();
  char text[16];
  std::snprintf(text, sizeof text, " %02d:%02d", t.hour % 100, t.minute % 100);
  return formatDate(t.date) + text;
}

void Model::printHeader(Printout &paper) const {
  for (const std::string &line : memory_.header)
    paper.marked(line);
}

void Model::printTitle(Printout &paper, const std::string &title) const {
  printHeader(paper);
  paper.rule();
  paper.centred(title);
  paper.rule();
}

void Model::printFooter(Printout &paper) const {
  for (const std::string &line : memory_.footer)
    if (!line.empty()) paper.marked(line);
  if (!memory_.barcode.empty()) {
    // Bars drawn from the digits: "|" and a thin or wide gap.
    std::string bars = "||";
    for (char digit : memory_.barcode)
      bars += (digit - '0') % 2 == 0 ? "| " : "||";
    bars += "||";
    paper.centred(bars);
    paper.centred(memory_.barcode);
  }
}

void Model::printClosing(std::string_view left, bool footer, Printout &paper) {
  paper.leftRight(left, stamp());
  if (!footer) {
    open_ = Open::Footer; // "trftrend" prints it
    return;
  }
  printFooter(paper);
  paper.blank();
}

bool Printer::knowsRequest(std::string_view name) {
  return findRequest(name) != nullptr;
}

std::unique_ptr<Printer> Printer::open(const PrinterOptions &options,
                                       std::int32_t *error) {
  FiscalMemory memory;
  std::string saved;
  if (!options.statePath.empty()) {
    const std::int32_t loaded = loadMemory(options.statePath, &memory);
    if (loaded != kOk) {
      if (error != nullptr) *error = loaded;
      return nullptr;
    }
    saved = serializeMemory(memory);
  }
  if (error != nullptr) *error = kOk;
  return std::make_unique<Model>(options, std::move(memory), std::move(saved));
}

} // namespace talmer
