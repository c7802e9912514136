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

Model::Model(PrinterOptions options, const PrinterStatus &status, FiscalMemory memory,
             std::string saved, platform::FileLock *lock)
    : options_(std::move(options)), status_(status), memory_(std::move(memory)),
      saved_(std::move(saved)), lock_(lock) {
  // Said at once, so that nobody waits for a roll that never grows.
  if (!options_.paperPath.empty() && !canAppendToRoll(options_.paperPath)) warnRoll();
}

void Model::warnRoll() {
  if (rollWarned_ || !options_.warn) return;
  rollWarned_ = true;
  options_.warn(options_.paperOrigin + " " + options_.paperPath +
                ": cannot be written; the paper roll is not kept");
}

Model::~Model() {
  platform::unlockFile(lock_);
}

Outcome Model::execute(const Command &command) {
  Outcome outcome;
  const Request *request = findRequest(command.name);
  std::int32_t code = kUnknownCommand;
  Printout paper;
  if (request != nullptr) {
    code = request->prints ? status_.printingRefusal() : kOk;
    if (code == kOk)
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
  if (canPrint()) print(paper);
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

void Model::print(const Printout &paper) {
  if (paper.empty()) return;
  if (!appendToRoll(options_.paperPath, paper)) warnRoll();
  if (options_.onPrintout) options_.onPrintout(paper.lines());
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
                                       const PrinterStatus &status,
                                       std::int32_t *error) {
  FiscalMemory memory;
  std::string saved;
  platform::FileLock *lock = nullptr;
  if (!options.statePath.empty()) {
    std::string why;
    // What isn't a memory file is refused before a lock file is made beside it.
    if (loadMemory(options.statePath, &memory, &why) != kOk) {
      if (options.warn)
        options.warn(options.stateOrigin + " " + options.statePath + ": " + why);
      *error = kStateFileDamaged;
      return nullptr;
    }
    // One printer, one program: the memory file is this printer's while it
    // is on, so that no other can write over it. It is read again under the
    // lock, as its holder may have changed it meanwhile.
    switch (platform::lockFile(options.statePath + ".lock", &lock)) {
    case platform::LockResult::Locked:
      break;
    case platform::LockResult::Busy:
      *error = kPrinterBusy;
      return nullptr;
    case platform::LockResult::Failed:
      if (options.warn)
        options.warn(options.stateOrigin + " " + options.statePath +
                     ": its lock file cannot be made");
      *error = kStateFileDamaged;
      return nullptr;
    }
    const std::int32_t loaded = loadMemory(options.statePath, &memory, &why);
    if (loaded != kOk) {
      if (options.warn)
        options.warn(options.stateOrigin + " " + options.statePath + ": " + why);
      platform::unlockFile(lock);
      *error = loaded;
      return nullptr;
    }
    saved = serializeMemory(memory);
  }
  *error = kOk;
  return std::make_unique<Model>(options, status, std::move(memory), std::move(saved),
                                 lock);
}

} // namespace talmer
