#include "talmer_printer/printer_host.h"

#include "engine/fiscal_memory.h"
#include "platform/cp1250.h"

#include <cstdio>

namespace talmer::printer {
namespace {

constexpr std::size_t kCallsKept = 200;

const char *const kRateLetters[] = {"A", "B", "C", "D", "E", "F", "G"};

nlohmann::json rateOf(int rate) {
  if (rate == kRateExempt) return "zw.";
  if (rate == kRateInactive) return nullptr;
  return rate;
}

nlohmann::json totalsOf(const Totals &totals,
                        const std::array<int, kRateCount> &rates) {
  nlohmann::json byRate = nlohmann::json::array();
  for (int r = 0; r < kRateCount; ++r)
    byRate.push_back({{"letter", kRateLetters[r]},
                      {"rate", rateOf(rates[r])},
                      {"gross", totals.gross[r]},
                      {"vat", totals.vat[r]}});
  return {{"receipts", totals.receipts},
          {"invoices", totals.invoices},
          {"cancelled", totals.cancelled},
          {"rates", byRate}};
}

} // namespace

std::string jsonText(const nlohmann::json &json) {
  return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string notThePrinters(const Script &script) {
  const char *directive = script.handleFail                            ? "handle fail"
                          : !script.descriptions.empty()               ? "describe"
                          : script.eventNone                           ? "event none"
                          : script.usbDevices || script.usbDevicesFail ? "usb-devices"
                                                                       : nullptr;
  if (directive == nullptr) return std::string();
  return std::string(directive) +
         " belongs to the program's own script (TALMER_SIM_SCRIPT), not to the printer";
}

void say(const std::string &text) {
  std::fprintf(stderr, "talmer_printer: %s\n", text.c_str());
  std::fflush(stderr);
}

PrinterHost::PrinterHost(std::shared_ptr<Engine> engine, std::shared_ptr<Clock> clock,
                         Options options, EventHub &events,
                         const std::string &rollSoFar)
    : engine_(std::move(engine)), clock_(std::move(clock)),
      options_(std::move(options)), events_(events) {
  std::size_t start = 0;
  while (start < rollSoFar.size()) {
    std::size_t end = rollSoFar.find('\n', start);
    if (end == std::string::npos) end = rollSoFar.size();
    roll_.push_back(rollSoFar.substr(start, end - start));
    rollBytes_ += end - start + 1;
    start = end + 1;
  }
  engine_->setObserver({[this](const PrintoutLines &lines) { printed(lines); },
                        [this](StatusPair) { changed(); }});
  publisher_ = std::thread([this] { publishStates(); });
}

PrinterHost::~PrinterHost() {
  engine_->setObserver({});
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  dirty_.notify_all();
  cable_.notify_all();
  publisher_.join();
}

bool PrinterHost::plugged() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return plugged_;
}

void PrinterHost::setPlugged(bool plugged) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    plugged_ = plugged;
  }
  cable_.notify_all();
  changed();
}

bool PrinterHost::waitPlugged(const std::function<bool()> &done) {
  std::unique_lock<std::mutex> lock(mutex_);
  cable_.wait(lock, [&] { return plugged_ || stopping_ || done(); });
  return plugged_ && !stopping_;
}

void PrinterHost::wake() {
  std::lock_guard<std::mutex> lock(mutex_);
  cable_.notify_all();
}

void PrinterHost::connected(const std::string &program) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = true;
    program_ = program;
  }
  changed();
}

void PrinterHost::disconnected() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    connected_ = false;
    program_.clear();
  }
  changed();
}

void PrinterHost::called(const std::string &call) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(call);
    if (calls_.size() > kCallsKept) calls_.pop_front();
  }
  // Made into an event only for a panel that watches: calls come fast.
  if (events_.watched())
    events_.publish("call", jsonText(nlohmann::json{{"call", call}}));
}

void PrinterHost::setAddresses(std::string link, std::string panel) {
  std::lock_guard<std::mutex> lock(mutex_);
  linkAddress_ = std::move(link);
  panelAddress_ = std::move(panel);
}

// Called under the engine's lock: it keeps the lines and tells, no more.
void PrinterHost::printed(const PrintoutLines &lines) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string &line : lines) {
      roll_.push_back(line);
      rollBytes_ += line.size() + 1;
    }
    while (rollBytes_ > kRollBytes && !roll_.empty()) {
      rollBytes_ -= roll_.front().size() + 1;
      roll_.pop_front();
    }
  }
  events_.publish("printout", jsonText(nlohmann::json{{"lines", lines}}));
  changed();
}

void PrinterHost::changed() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    changed_ = true;
  }
  dirty_.notify_all();
}

// The state is made on a thread of its own, outside the engine's lock, and
// what changes quickly is told once.
void PrinterHost::publishStates() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    dirty_.wait(lock, [&] { return changed_ || stopping_; });
    if (stopping_) return;
    changed_ = false;
    lock.unlock();
    events_.publish("state", jsonText(state()));
    lock.lock();
  }
}

nlohmann::json PrinterHost::state() {
  const EngineSnapshot snap = engine_->snapshot();
  const FiscalMemory &memory = snap.memory;
  nlohmann::json records = nlohmann::json::array();
  for (const DailyRecord &record : memory.records) {
    nlohmann::json entry = totalsOf(record.totals, record.rates);
    entry["number"] = record.number;
    entry["date"] = record.date;
    records.push_back(entry);
  }
  nlohmann::json header = nlohmann::json::array();
  for (const std::string &line : memory.header)
    header.push_back(cp1250::toUtf8(line));
  std::lock_guard<std::mutex> lock(mutex_);
  return {
      {"paper", snap.paperOut ? "out" : "in"},
      {"cover", snap.coverOpen ? "open" : "closed"},
      {"link", plugged_ ? "plugged" : "unplugged"},
      {"connected", connected_},
      {"program", connected_ ? nlohmann::json(program_) : nlohmann::json(nullptr)},
      {"status", {{"global", snap.status.global}, {"printer", snap.status.printer}}},
      {"receiptNumber", memory.receiptNumber},
      {"reportNumber", memory.reportNumber},
      {"day", totalsOf(memory.day, memory.rates)},
      {"records", records},
      {"header", header},
      {"calls", calls_},
      {"listen", linkAddress_},
      {"panel", panelAddress_},
      {"serial", options_.serial},
      {"usb", options_.usb},
      {"timescale", options_.timescale}};
}

std::string PrinterHost::roll() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string text;
  text.reserve(rollBytes_);
  for (const std::string &line : roll_) {
    text += line;
    text += '\n';
  }
  return text;
}

} // namespace talmer::printer
