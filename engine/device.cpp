#include "engine/device.h"

#include "engine/status_codes.h"
#include "engine/text_checks.h"
#include "platform/platform.h"

#include <algorithm>
#include <cstdlib>

namespace talmer {
namespace {

using std::chrono::microseconds;
using std::chrono::steady_clock;

constexpr const char *kDefaultUsbListing = "VP0001";
/// How long dialling takes until the printer's modem answers.
constexpr std::uint32_t kDialMs = 1500;
/// The modem states of an incoming call, and when each is reached.
constexpr std::int32_t kIncomingStates[] = {0, 10, 50, FPD_MODEM_CONNECTED};
constexpr std::uint64_t kIncomingStepMs = 1000;

std::string environment(const char *name) {
  const char *value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::uint32_t pack(StatusPair pair) {
  return (static_cast<std::uint32_t>(pair.global) << 16) |
         (static_cast<std::uint32_t>(pair.printer) & 0xFFFFu);
}

bool operator!=(StatusPair a, StatusPair b) {
  return a.global != b.global || a.printer != b.printer;
}

} // namespace

std::shared_ptr<DeviceCore> DeviceCore::open(const DeviceConfig &config,
                                             std::int32_t *error) {
  const Script &script = *config.script;
  if (script.openFail) {
    *error = *script.openFail;
    return nullptr;
  }
  if (config.type == FPD_DEVICE_SERIAL && !validSerialSettings(config.comSettings)) {
    *error = kBadSerialSettings;
    return nullptr;
  }
  if (config.type == FPD_DEVICE_USB) {
    const std::vector<std::string> serials =
        splitListing(script.usbDevices ? *script.usbDevices : kDefaultUsbListing);
    if (std::find(serials.begin(), serials.end(), config.usbSerial) == serials.end()) {
      *error = kUsbDeviceNotFound;
      return nullptr;
    }
  }
  PrinterOptions options{environment("TALMER_PAPER"), environment("TALMER_SIM_STATE")};
  std::int32_t printerError = kOk;
  std::unique_ptr<Printer> printer = Printer::open(options, &printerError);
  if (!printer) {
    *error = printerError != kOk ? printerError : kDeviceOpenFailed;
    return nullptr;
  }
  std::shared_ptr<DeviceCore> device(new DeviceCore(config, std::move(printer)));
  try {
    device->worker_ = std::thread([raw = device.get()] { raw->run(); });
  } catch (const std::system_error &) {
    *error = kResourceExhausted;
    return nullptr;
  }
  *error = kOk;
  return device;
}

DeviceCore::DeviceCore(const DeviceConfig &config, std::unique_ptr<Printer> printer)
    : script_(config.script), start_(steady_clock::now()),
      scale_(platform::timeScale()), printer_(std::move(printer)),
      notifyLevel_(config.notifyLevel) {
  if (!script_->eventNone) event_ = platform::createEvent();
  scriptedPair_ = script_->status;
}

DeviceCore::~DeviceCore() {
  close();
  if (event_ != nullptr) platform::destroyEvent(event_);
}

void DeviceCore::close() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  executed_.notify_all();
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id())
    worker_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  toExecute_.clear();
  spooled_.clear();
  schedule_.clear();
  undelivered_.clear();
  callback_ = nullptr;
}

std::uint64_t DeviceCore::nominalNow() const {
  const auto elapsed =
      std::chrono::duration_cast<microseconds>(steady_clock::now() - start_).count();
  return static_cast<std::uint64_t>(elapsed) * scale_ / 1000;
}

steady_clock::time_point DeviceCore::realTimeOf(std::uint64_t nominalMs) const {
  return start_ + microseconds(nominalMs * 1000 / scale_);
}

std::int32_t DeviceCore::lastError() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastError_;
}

void DeviceCore::setNotifyLevel(std::int32_t level) {
  std::lock_guard<std::mutex> lock(mutex_);
  notifyLevel_ = level;
}

// ---- The worker -------------------------------------------------------------

void DeviceCore::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (!toExecute_.empty()) {
      while (!toExecute_.empty()) {
        RequestPtr next = std::move(toExecute_.front());
        toExecute_.pop_front();
        executeLocked(next);
      }
      executed_.notify_all();
    }
    processDueLocked(nominalNow(), false);
    deliverCallbacks(lock);
    if (stopping_ || !toExecute_.empty() || (callback_ && !undelivered_.empty()))
      continue;
    if (schedule_.empty())
      wake_.wait(lock);
    else
      wake_.wait_until(lock, realTimeOf(schedule_.begin()->first));
  }
}

const RequestRule *DeviceCore::ruleLocked(const RequestState &r,
                                          RequestRule::Kind kind) const {
  for (const RequestRule *rule : r.rules)
    if (rule->kind == kind) return rule;
  return nullptr;
}

void DeviceCore::executeLocked(const RequestPtr &r) {
  using Kind = RequestRule::Kind;
  r->executed = true;
  if (r->never) return;
  const StatusPair before = reportedPairLocked();
  Outcome outcome;
  if (const RequestRule *scripted = ruleLocked(*r, Kind::Status)) {
    outcome.status = scripted->code;
    if (scripted->code != kOk && scripted->code != kDoneWithWarning)
      outcome.fields.push_back({"cm", r->name});
  } else {
    outcome = printer_->execute(Command{r->name, r->params});
  }
  for (const RequestRule *rule : r->rules) {
    Fields &fields = outcome.fields;
    auto named = [&](const Field &f) { return f.name == rule->key; };
    if (rule->kind == Kind::Busy) {
      outcome.nominalMs = rule->ms;
    } else if (rule->kind == Kind::Field) {
      auto found = std::find_if(fields.begin(), fields.end(), named);
      if (found != fields.end())
        found->value = rule->value;
      else
        fields.push_back({rule->key, rule->value});
    } else if (rule->kind == Kind::NoField) {
      fields.erase(std::remove_if(fields.begin(), fields.end(), named), fields.end());
    } else if (rule->kind == Kind::NoFields) {
      fields.clear();
    }
  }
  r->due = std::max(r->postedAt, lastDue_) + outcome.nominalMs;
  lastDue_ = r->due;
  r->outcome = std::move(outcome);
  if (notifying_ && reportedPairLocked() != before) {
    Scheduled item;
    item.fromRequest = true;
    schedule_.emplace(r->due, item);
  }
  if (r->mode == FPD_POST_SPOOLSPECIAL && !r->lost && !r->destroyed)
    spooled_.push_back(r);
}

void DeviceCore::processDueLocked(std::uint64_t upTo, bool onlyAt) {
  while (!schedule_.empty() && !stopping_) {
    auto first = schedule_.begin();
    if (onlyAt ? first->first != upTo : first->first > upTo) return;
    const std::uint64_t at = first->first;
    Scheduled item = first->second;
    schedule_.erase(first);
    applyLocked(item);
    if (--item.remaining > 0) schedule_.emplace(at + item.change.everyMs, item);
  }
}

void DeviceCore::applyLocked(const Scheduled &item) {
  using Kind = TimedChange::Kind;
  if (!item.fromRequest) {
    switch (item.change.kind) {
    case Kind::Status:
      scriptedPair_ = item.change.pair;
      break;
    case Kind::PaperOut:
    case Kind::PaperIn:
      printer_->setPaperOut(item.change.kind == Kind::PaperOut);
      scriptedPair_.reset();
      break;
    case Kind::CoverOpen:
    case Kind::CoverClosed:
      printer_->setCoverOpen(item.change.kind == Kind::CoverOpen);
      scriptedPair_.reset();
      break;
    }
  }
  notifyLocked();
}

void DeviceCore::notifyLocked() {
  if (notifyLevel_ <= 0) return;
  if (eventMode_ == FPD_EVENTS_EVENT_OBJECT) {
    if (event_ != nullptr) platform::setEvent(event_);
  } else if (eventMode_ == FPD_EVENTS_CALLBACK) {
    undelivered_.push_back(pack(reportedPairLocked()));
  }
}

void DeviceCore::deliverCallbacks(std::unique_lock<std::mutex> &lock) {
  while (!stopping_ && callback_ != nullptr && !undelivered_.empty()) {
    const std::uint32_t value = undelivered_.front();
    undelivered_.pop_front();
    const FPD_StatusCallback callback = callback_;
    lock.unlock();
    callback(value);
    lock.lock();
  }
}

StatusPair DeviceCore::reportedPairLocked() const {
  return scriptedPair_ ? *scriptedPair_ : printer_->status();
}

// ---- Requests -----------------------------------------------------------------

RequestPtr DeviceCore::create(const std::string &name,
                              const std::optional<std::string> &paramList) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto r = std::make_shared<RequestState>();
  r->name = name;
  r->ordinal = ++created_[name];
  for (const RequestRule &rule : script_->requests)
    if (rule.selects(name, r->ordinal)) r->rules.push_back(&rule);
  r->ruleUses.assign(r->rules.size(), 0);
  if (const RequestRule *fail = ruleLocked(*r, RequestRule::Kind::CreateFail)) {
    lastError_ = fail->code;
    return nullptr;
  }
  if (!Printer::knowsRequest(name)) {
    lastError_ = kUnknownRequest;
    return nullptr;
  }
  if (paramList) {
    std::optional<Fields> params = parseParamList(*paramList);
    if (!params) {
      lastError_ = kMalformedParamList;
      return nullptr;
    }
    r->params = std::move(*params);
  }
  r->never = ruleLocked(*r, RequestRule::Kind::Never) != nullptr;
  r->lost = ruleLocked(*r, RequestRule::Kind::Lost) != nullptr;
  lastError_ = kOk;
  return r;
}

std::int32_t DeviceCore::push(const RequestPtr &r, std::string key, std::string value) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (r->posted) return kWrongState;
  r->params.push_back({std::move(key), std::move(value)});
  return kOk;
}

std::int32_t DeviceCore::post(const RequestPtr &r, std::int32_t mode) {
  if (mode != FPD_POST_NORMAL && mode != FPD_POST_SPOOLSPECIAL) return kInvalidArgument;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (r->posted || stopping_) return kWrongState;
    if (const RequestRule *fail = ruleLocked(*r, RequestRule::Kind::PostFail))
      return fail->code;
    r->posted = true;
    r->mode = mode;
    r->postedAt = nominalNow();
    toExecute_.push_back(r);
  }
  wake_.notify_all();
  return kOk;
}

void DeviceCore::awaitExecutedLocked(std::unique_lock<std::mutex> &lock,
                                     const RequestState *r) {
  executed_.wait(lock, [&] {
    return stopping_ || (r != nullptr ? r->executed : toExecute_.empty());
  });
}

bool DeviceCore::completeLocked(const RequestState &r) const {
  return r.executed && !r.never &&
         (r.seenComplete || r.due <= r.postedAt + r.waited || r.due <= nominalNow());
}

std::int32_t DeviceCore::wait(const RequestPtr &r, std::uint32_t ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!r->posted) return kWrongState;
  for (std::size_t i = 0; i < r->rules.size(); ++i) {
    const RequestRule &rule = *r->rules[i];
    if (rule.kind != RequestRule::Kind::Wait) continue;
    if (rule.times != 0 && r->ruleUses[i] >= rule.times) continue;
    // A scripted wait counts as waited, whatever it returns; only the one
    // that runs out of time takes its time.
    ++r->ruleUses[i];
    r->waited += ms;
    if (rule.code != kWaitNoResponse) return rule.code;
    lock.unlock();
    platform::sleepMs(ms);
    return rule.code;
  }
  awaitExecutedLocked(lock, r.get());
  if (stopping_) return kWrongState;
  // Complete when the request's nominal time fits in the time waited on it.
  if (!r->never && (r->seenComplete || r->due <= r->postedAt + r->waited + ms)) {
    executed_.wait_until(lock, realTimeOf(r->due), [&] { return stopping_; });
    r->seenComplete = true;
    return kOk;
  }
  r->waited += ms;
  lock.unlock();
  platform::sleepMs(ms);
  return kWaitNoResponse;
}

std::int32_t DeviceCore::status(const RequestPtr &r) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!r->posted) return kNotCompleted;
  awaitExecutedLocked(lock, r.get());
  if (!completeLocked(*r)) return kNotCompleted;
  return r->outcome.status;
}

std::int32_t DeviceCore::responseValue(const RequestPtr &r, const std::string &field,
                                       std::string *value) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!r->posted) return kNotCompleted;
  awaitExecutedLocked(lock, r.get());
  if (!completeLocked(*r)) return kNotCompleted;
  const Fields &fields = r->outcome.fields;
  for (std::size_t i = r->popped; i < fields.size(); ++i) {
    if (fields[i].name == field) {
      *value = fields[i].value;
      return kOk;
    }
  }
  return kNoResponseField;
}

std::int32_t DeviceCore::responseValueCount(const RequestPtr &r) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!r->posted) return 0;
  awaitExecutedLocked(lock, r.get());
  if (!completeLocked(*r)) return 0;
  return static_cast<std::int32_t>(r->outcome.fields.size() - r->popped);
}

std::int32_t DeviceCore::popResponseValue(const RequestPtr &r, Field *field) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!r->posted) return kNotCompleted;
  awaitExecutedLocked(lock, r.get());
  if (!completeLocked(*r)) return kNotCompleted;
  if (r->popped >= r->outcome.fields.size()) return kNoResponseField;
  *field = r->outcome.fields[r->popped++];
  return kOk;
}

void DeviceCore::destroy(const RequestPtr &r) {
  std::lock_guard<std::mutex> lock(mutex_);
  r->destroyed = true;
  spooled_.erase(std::remove(spooled_.begin(), spooled_.end(), r), spooled_.end());
}

// ---- Response queue -------------------------------------------------------------

std::int32_t DeviceCore::responseCount() {
  std::unique_lock<std::mutex> lock(mutex_);
  awaitExecutedLocked(lock, nullptr);
  if (script_->responseCount) return *script_->responseCount;
  const std::uint64_t now = nominalNow();
  std::int32_t count = 0;
  for (const RequestPtr &r : spooled_)
    if (r->due <= now) ++count;
  return count;
}

RequestPtr DeviceCore::nextResponse() {
  std::unique_lock<std::mutex> lock(mutex_);
  awaitExecutedLocked(lock, nullptr);
  if (spooled_.empty() || spooled_.front()->due > nominalNow()) return nullptr;
  RequestPtr r = std::move(spooled_.front());
  spooled_.pop_front();
  r->seenComplete = true;
  return r;
}

// ---- Status and notifications ------------------------------------------------------

std::int32_t DeviceCore::printerStatus(StatusPair *pair) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (script_->statusFail) return *script_->statusFail;
  *pair = reportedPairLocked();
  return kOk;
}

std::int32_t DeviceCore::setEventHandlingMode(std::int32_t mode) {
  if (mode != FPD_EVENTS_EVENT_OBJECT && mode != FPD_EVENTS_CALLBACK)
    return kInvalidArgument;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    eventMode_ = mode;
    if (!notifying_) {
      notifying_ = true;
      enabledAt_ = nominalNow();
      for (const TimedChange &change : script_->changes) {
        Scheduled item;
        item.change = change;
        item.remaining = change.times;
        schedule_.emplace(enabledAt_ + change.atMs, item);
      }
      // Changes at 0 are there before the call returns.
      processDueLocked(enabledAt_, true);
    }
  }
  wake_.notify_all();
  return kOk;
}

void DeviceCore::setCallback(FPD_StatusCallback callback) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = callback;
  }
  wake_.notify_all();
}

// ---- Modem ----------------------------------------------------------------------

std::int32_t DeviceCore::modemDial(const ModemConfig &modem, std::int32_t mode) {
  if (mode != 1) return kInvalidArgument;
  if (!modem.enabled) return kNotAModem;
  if (!validModemCommand(modem.init) || !validModemCommand(modem.dial))
    return kBadModemCommand;
  if (script_->modemDialFail) return *script_->modemDialFail;
  platform::sleepMs(kDialMs);
  std::lock_guard<std::mutex> lock(mutex_);
  dialled_ = true;
  return kOk;
}

std::int32_t DeviceCore::modemStatus(const ModemConfig &modem) {
  if (!modem.enabled || !validModemCommand(modem.init)) return -1;
  std::lock_guard<std::mutex> lock(mutex_);
  if (dialled_) return FPD_MODEM_CONNECTED;
  const std::uint32_t query = modemQueries_++;
  const std::vector<std::int32_t> &scripted = script_->modemStatus;
  if (!scripted.empty())
    return scripted[std::min<std::size_t>(query, scripted.size() - 1)];
  // An incoming call: each state is reached after its time and seen by a later
  // query, so that a program polling once a second sees every state once. The
  // time allows two real milliseconds for pauses that the platform shortens
  // to make up for oversleeping.
  constexpr std::size_t last = std::size(kIncomingStates) - 1;
  const std::size_t byQueries = std::min<std::size_t>(query, last);
  const std::uint64_t slack = 2ull * scale_;
  const std::size_t byTime =
      std::min<std::size_t>((nominalNow() + slack) / kIncomingStepMs, last);
  return kIncomingStates[std::min(byQueries, byTime)];
}

} // namespace talmer
