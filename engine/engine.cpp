#include "engine/engine.h"

#include "connection/talmer.h"
#include "engine/modem.h"
#include "engine/printer_status.h"
#include "engine/request_table.h"
#include "engine/status_codes.h"
#include "engine/text_checks.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace talmer {
namespace {

/// A timed change waiting for its time; session 0 is the printer's own.
struct Scheduled {
  TimedChange change;
  std::uint32_t remaining = 1;
  std::uint64_t session = 0;
};

/// The timed changes that a pass of the worker applies at most before it
/// lets the callers at the lock again.
constexpr int kChangesPerPass = 256;

class LocalSession;

} // namespace

struct Engine::State {
  EngineConfig config;
  Clock &clock;
  std::mutex mutex;
  std::condition_variable wake;     ///< the worker: work or time has come
  std::condition_variable executed; ///< callers: the worker caught up
  PrinterStatus status;
  std::unique_ptr<Printer> printer;
  std::shared_ptr<const Script> script; ///< the printer's own, merged
  std::multimap<std::uint64_t, Scheduled> schedule;
  EngineObserver observer;
  LocalSession *session = nullptr; ///< the connected program's
  std::uint64_t sessions = 0;
  std::uint64_t lastDue = 0;
  bool stopping = false;
  std::thread worker;
  std::uint64_t subscription = 0;

  explicit State(EngineConfig c) : config(std::move(c)), clock(*config.clock) {}

  void run();
  void scheduleChanges(const Script &from, std::uint64_t origin,
                       std::uint64_t sessionTag);
  /// Applies every change due by upTo; false when it stopped for a breath.
  bool processDue(std::uint64_t upTo, int limit);
  void apply(const TimedChange &change);
  void statusChanged();
};

namespace {

class LocalSession final : public Session {
public:
  LocalSession(std::shared_ptr<Engine::State> state,
               std::shared_ptr<const Script> script, StatusListener listener,
               std::uint64_t tag)
      : state_(std::move(state)), requests_(state_->clock, state_->executed),
        modem_(state_->clock, state_->clock.now()), script_(std::move(script)),
        listener_(std::move(listener)), tag_(tag) {}

  ~LocalSession() override { close(); }

  RequestId create(const std::string &name,
                   const std::optional<std::string> &paramList) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (closed_ || state_->stopping) {
      lastError_ = kWrongState;
      return 0;
    }
    std::vector<const Script *> scripts{state_->script.get()};
    if (script_) scripts.push_back(script_.get());
    return requests_.create(name, paramList, scripts, &lastError_);
  }

  std::int32_t lastError() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return lastError_;
  }

  std::int32_t push(RequestId id, const std::string &key,
                    const std::string &value) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return requests_.push(id, key, value);
  }

  std::int32_t post(RequestId id, std::int32_t mode) override {
    std::int32_t code;
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      code = state_->stopping ? kWrongState : requests_.post(id, mode);
    }
    if (code == kOk) state_->wake.notify_all();
    return code;
  }

  std::optional<std::int32_t> postRefusal(RequestId id) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return requests_.postRefusal(id);
  }

  std::int32_t wait(RequestId id, std::uint32_t ms) override {
    return waitHeld(id, ms, 0);
  }

  std::int32_t waitHeld(RequestId id, std::uint32_t ms, std::uint64_t heldMs) override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.wait(lock, id, ms, heldMs);
  }

  std::int32_t status(RequestId id) override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.status(lock, id);
  }

  std::int32_t responseValue(RequestId id, const std::string &field,
                             std::string *value) override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.responseValue(lock, id, field, value);
  }

  std::int32_t responseValueCount(RequestId id) override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.responseValueCount(lock, id);
  }

  std::int32_t popResponseValue(RequestId id, Field *field) override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.popResponseValue(lock, id, field);
  }

  void destroy(RequestId id) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    requests_.destroy(id);
  }

  std::int32_t responseCount() override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    std::optional<std::int32_t> scripted = state_->script->responseCount;
    if (script_ && script_->responseCount) scripted = script_->responseCount;
    return requests_.responseCount(lock, scripted);
  }

  RequestId nextResponse() override {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return requests_.nextResponse(lock);
  }

  std::int32_t printerStatus(StatusPair *pair) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (closed_) return kWrongState;
    state_->processDue(state_->clock.now(), -1);
    // The query's own answer, else the script's for every query, else the
    // printer's pair.
    const std::uint32_t query = ++statusQueries_;
    const Script *scripts[] = {script_.get(), state_->script.get()};
    for (const Script *script : scripts) {
      if (script == nullptr) continue;
      auto answer = script->statusAnswers.find(query);
      if (answer == script->statusAnswers.end()) continue;
      if (answer->second.fail) return *answer->second.fail;
      *pair = answer->second.pair;
      return kOk;
    }
    for (const Script *script : scripts)
      if (script != nullptr && script->statusFail) return *script->statusFail;
    *pair = state_->status.reported();
    return kOk;
  }

  std::int32_t modemDial(const ModemSettings &modem) override {
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      const std::int32_t code = modem_.checkDial(modem, modemScript());
      if (code != kOk) return code;
    }
    state_->clock.sleep(Modem::kDialMs);
    std::lock_guard<std::mutex> lock(state_->mutex);
    modem_.dialled();
    return kOk;
  }

  std::int32_t modemStatus(const ModemSettings &modem) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return modem_.status(modem, modemScript());
  }

  void close() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (closed_) return;
    closed_ = true;
    requests_.close();
    listener_ = nullptr;
    if (state_->session == this) state_->session = nullptr;
    // Its timed changes end with it.
    for (auto it = state_->schedule.begin(); it != state_->schedule.end();)
      it = it->second.session == tag_ ? state_->schedule.erase(it) : std::next(it);
  }

  // Under the engine's lock.
  void statusChanged(std::uint32_t value) {
    if (listener_) listener_(value);
  }
  RequestTable &requests() { return requests_; }

private:
  ModemScript modemScript() const {
    ModemScript modem{state_->script->modemDialFail, state_->script->modemStatus};
    if (script_ && script_->modemDialFail) modem.dialFail = script_->modemDialFail;
    if (script_ && !script_->modemStatus.empty()) modem.status = script_->modemStatus;
    return modem;
  }

  const std::shared_ptr<Engine::State> state_;
  RequestTable requests_;
  Modem modem_;
  const std::shared_ptr<const Script> script_;
  StatusListener listener_;
  const std::uint64_t tag_;
  std::int32_t lastError_ = kOk;
  std::uint32_t statusQueries_ = 0;
  bool closed_ = false;
};

/// "COM1,9600,8,N,1,H" taken apart.
std::vector<std::string> fieldsOf(const std::string &settings) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = settings.find(',', start);
    fields.push_back(settings.substr(start, comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

} // namespace

bool sameLine(const std::string &a, const std::string &b) {
  const std::vector<std::string> x = fieldsOf(a), y = fieldsOf(b);
  if (x.size() != 6 || y.size() != 6) return false;
  for (std::size_t i = 1; i <= 4; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

std::optional<std::int32_t> portRefusal(const EngineConfig &config,
                                        const Script &printerScript,
                                        const Script *sessionScript,
                                        const PortSettings &port) {
  std::optional<std::int32_t> openFail = printerScript.openFail;
  std::optional<std::string> usbListing = printerScript.usbDevices;
  if (sessionScript != nullptr && sessionScript->openFail)
    openFail = sessionScript->openFail;
  if (sessionScript != nullptr && sessionScript->usbDevices)
    usbListing = sessionScript->usbDevices;
  if (openFail) return openFail; // also 0: opening fails with that code
  if (port.type == FPD_DEVICE_SERIAL) {
    if (!validSerialSettings(port.comSettings)) return kBadSerialSettings;
    // A line of another speed or framing: the printer hears only noise.
    if (config.serialSettings && !sameLine(*config.serialSettings, port.comSettings))
      return kPrinterNotAnswering;
  } else if (port.type == FPD_DEVICE_USB) {
    const std::vector<std::string> serials =
        splitListing(usbListing ? *usbListing : config.usbSerials);
    if (std::find(serials.begin(), serials.end(), port.usbSerial) == serials.end())
      return kUsbDeviceNotFound;
  }
  return std::nullopt;
}

// ---- The worker ---------------------------------------------------------------

void Engine::State::run() {
  std::unique_lock<std::mutex> lock(mutex);
  while (!stopping) {
    if (session != nullptr && session->requests().hasQueued())
      session->requests().executeQueued(
          *printer, &lastDue, [this](std::uint64_t at) { processDue(at, -1); });
    if (!processDue(clock.now(), kChangesPerPass)) {
      // A flood of changes: let the callers in before the rest.
      lock.unlock();
      std::this_thread::yield();
      lock.lock();
      continue;
    }
    if (stopping || (session != nullptr && session->requests().hasQueued())) continue;
    if (schedule.empty())
      wake.wait(lock);
    else
      clock.waitUntil(lock, wake, schedule.begin()->first);
  }
}

void Engine::State::scheduleChanges(const Script &from, std::uint64_t origin,
                                    std::uint64_t sessionTag) {
  for (const TimedChange &change : from.changes) {
    Scheduled item;
    item.change = change;
    item.remaining = change.times;
    item.session = sessionTag;
    schedule.emplace(origin + change.atMs, item);
  }
}

bool Engine::State::processDue(std::uint64_t upTo, int limit) {
  for (int done = 0; !schedule.empty() && !stopping; ++done) {
    if (limit >= 0 && done == limit) return false;
    auto first = schedule.begin();
    if (first->first > upTo) break;
    const std::uint64_t at = first->first;
    Scheduled item = first->second;
    schedule.erase(first);
    apply(item.change);
    if (--item.remaining > 0) schedule.emplace(at + item.change.everyMs, item);
  }
  return true;
}

void Engine::State::apply(const TimedChange &change) {
  using Kind = TimedChange::Kind;
  switch (change.kind) {
  case Kind::Status:
    status.setScriptedPair(change.pair);
    break;
  case Kind::PaperOut:
  case Kind::PaperIn:
    status.setPaperOut(change.kind == Kind::PaperOut);
    break;
  case Kind::CoverOpen:
  case Kind::CoverClosed:
    status.setCoverOpen(change.kind == Kind::CoverOpen);
    break;
  }
  // Each change notifies, even when the pair stays the same.
  statusChanged();
}

void Engine::State::statusChanged() {
  const StatusPair pair = status.reported();
  if (session != nullptr) session->statusChanged(packStatus(pair));
  if (observer.statusChanged) observer.statusChanged(pair);
}

// ---- The engine ------------------------------------------------------------------

Engine::Engine(std::shared_ptr<State> state) : state_(std::move(state)) {}

std::shared_ptr<Engine> Engine::start(EngineConfig config, std::int32_t *error) {
  if (!config.script) config.script = std::make_shared<const Script>();
  if (!config.clock) config.clock = makeScaledClock(1);
  auto state = std::make_shared<State>(std::move(config));
  PrinterOptions options = state->config.printer;
  options.onPrintout = [raw = state.get(),
                        chained = options.onPrintout](const PrintoutLines &lines) {
    if (chained) chained(lines);
    if (raw->observer.printed) raw->observer.printed(lines);
  };
  state->printer = Printer::open(options, state->status, error);
  if (!state->printer) return nullptr;
  state->script = state->config.script;
  if (state->script->status) state->status.setScriptedPair(*state->script->status);
  std::shared_ptr<Engine> engine(new Engine(state));
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    const std::uint64_t now = state->clock.now();
    state->scheduleChanges(*state->script, now, 0);
    state->processDue(now, -1);
  }
  state->subscription = state->clock.subscribe([raw = state.get()] {
    std::lock_guard<std::mutex> lock(raw->mutex);
    raw->wake.notify_all();
  });
  try {
    state->worker = std::thread([raw = state.get()] { raw->run(); });
  } catch (const std::system_error &) {
    *error = kResourceExhausted;
    return nullptr;
  }
  *error = kOk;
  return engine;
}

Engine::~Engine() {
  stop();
}

void Engine::stop() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->stopping && !state_->worker.joinable()) return;
    state_->stopping = true;
  }
  state_->wake.notify_all();
  state_->executed.notify_all();
  if (state_->worker.joinable()) state_->worker.join();
  state_->clock.unsubscribe(state_->subscription);
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->session != nullptr) state_->session->requests().close();
  state_->schedule.clear();
  state_->printer.reset(); // its memory file is free again
}

std::unique_ptr<Session> Engine::connect(const PortSettings &port,
                                         std::shared_ptr<const Script> sessionScript,
                                         StatusListener listener, std::int32_t *error) {
  auto fail = [error](std::int32_t code) {
    *error = code;
    return nullptr;
  };
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->stopping) return fail(kDeviceOpenFailed);
  if (const std::optional<std::int32_t> refused =
          portRefusal(state_->config, *state_->script, sessionScript.get(), port))
    return fail(*refused);
  if (state_->session != nullptr) return fail(kPrinterBusy);

  auto session = std::make_unique<LocalSession>(
      state_, sessionScript, std::move(listener), ++state_->sessions);
  state_->session = session.get();
  if (sessionScript) {
    if (sessionScript->status) state_->status.setScriptedPair(*sessionScript->status);
    // Its changes count from now; those at 0 are there before it returns.
    const std::uint64_t now = state_->clock.now();
    state_->scheduleChanges(*sessionScript, now, state_->sessions);
    state_->processDue(now, -1);
  }
  state_->wake.notify_all();
  *error = kOk;
  return session;
}

void Engine::setPaperOut(bool out) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  TimedChange change;
  change.kind = out ? TimedChange::Kind::PaperOut : TimedChange::Kind::PaperIn;
  state_->apply(change);
}

void Engine::setCoverOpen(bool open) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  TimedChange change;
  change.kind = open ? TimedChange::Kind::CoverOpen : TimedChange::Kind::CoverClosed;
  state_->apply(change);
}

void Engine::applyScript(const Script &script) {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->script =
        std::make_shared<const Script>(mergeScripts(*state_->script, script));
    if (script.status) {
      state_->status.setScriptedPair(*script.status);
      state_->statusChanged();
    }
    const std::uint64_t now = state_->clock.now();
    state_->scheduleChanges(script, now, 0);
    state_->processDue(now, -1);
  }
  state_->wake.notify_all();
}

void Engine::setObserver(EngineObserver observer) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->observer = std::move(observer);
}

EngineSnapshot Engine::snapshot() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (!state_->stopping) state_->processDue(state_->clock.now(), -1);
  EngineSnapshot snap;
  snap.paperOut = state_->status.paperOut();
  snap.coverOpen = state_->status.coverOpen();
  snap.status = state_->status.reported();
  snap.connected = state_->session != nullptr;
  if (state_->printer) snap.memory = state_->printer->memory();
  return snap;
}

} // namespace talmer
