#include "engine/request_table.h"

#include "connection/talmer.h"
#include "engine/status_codes.h"
#include "engine/text_checks.h"

#include <algorithm>

namespace talmer {

struct RequestTable::Request {
  RequestId id = 0;
  std::string name;
  std::uint32_t ordinal = 0; ///< n-th creation of that name in the session
  std::vector<RequestRule> rules;
  std::vector<std::uint32_t> ruleUses; ///< per rule: scripted waits taken

  Fields params;
  bool posted = false;
  std::int32_t mode = FPD_POST_NORMAL;
  std::uint64_t postedAt = 0;
  std::uint64_t waited = 0; ///< nominal ms of waits given up on it
  bool never = false;
  bool lost = false;

  bool executed = false;
  bool seenComplete = false; ///< a wait returned 0, or taken off the queue
  bool destroyed = false;
  std::uint64_t due = 0; ///< nominal completion time
  Outcome outcome;
  std::size_t popped = 0;

  const RequestRule *rule(RequestRule::Kind kind) const {
    for (const RequestRule &r : rules)
      if (r.kind == kind) return &r;
    return nullptr;
  }
};

RequestTable::RequestTable(Clock &clock, std::condition_variable &executed)
    : clock_(clock), executed_(executed) {}

RequestTable::RequestPtr RequestTable::find(RequestId id) const {
  auto found = requests_.find(id);
  return found == requests_.end() ? nullptr : found->second;
}

RequestId RequestTable::create(const std::string &name,
                               const std::optional<std::string> &paramList,
                               const std::vector<const Script *> &scripts,
                               std::int32_t *error) {
  auto r = std::make_shared<Request>();
  r->name = name;
  r->ordinal = ++created_[name];
  for (const Script *script : scripts)
    for (const RequestRule &rule : script->requests)
      if (rule.selects(name, r->ordinal)) r->rules.push_back(rule);
  r->ruleUses.assign(r->rules.size(), 0);
  if (const RequestRule *fail = r->rule(RequestRule::Kind::CreateFail)) {
    *error = fail->code;
    return 0;
  }
  if (!Printer::knowsRequest(name)) {
    *error = kUnknownRequest;
    return 0;
  }
  if (paramList) {
    std::optional<Fields> params = parseParamList(*paramList);
    if (!params) {
      *error = kMalformedParamList;
      return 0;
    }
    r->params = std::move(*params);
  }
  r->never = r->rule(RequestRule::Kind::Never) != nullptr;
  r->lost = r->rule(RequestRule::Kind::Lost) != nullptr;
  r->id = ++lastId_;
  requests_.emplace(r->id, r);
  *error = kOk;
  return r->id;
}

std::int32_t RequestTable::push(RequestId id, std::string key, std::string value) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (r->posted) return kWrongState;
  r->params.push_back({std::move(key), std::move(value)});
  return kOk;
}

std::optional<std::int32_t> RequestTable::postRefusal(RequestId id) const {
  const RequestPtr r = find(id);
  if (!r) return std::nullopt;
  if (const RequestRule *fail = r->rule(RequestRule::Kind::PostFail)) return fail->code;
  return std::nullopt;
}

std::int32_t RequestTable::post(RequestId id, std::int32_t mode) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (r->posted || closed_) return kWrongState;
  if (const RequestRule *fail = r->rule(RequestRule::Kind::PostFail)) return fail->code;
  r->posted = true;
  r->mode = mode;
  r->postedAt = clock_.now();
  toExecute_.push_back(r);
  return kOk;
}

void RequestTable::awaitExecuted(std::unique_lock<std::mutex> &lock, const Request *r) {
  executed_.wait(lock, [&] {
    return closed_ || (r != nullptr ? r->executed : toExecute_.empty());
  });
}

bool RequestTable::complete(const Request &r) const {
  return r.executed && !r.never &&
         (r.seenComplete || r.due <= r.postedAt + r.waited || r.due <= clock_.now());
}

std::int32_t RequestTable::wait(std::unique_lock<std::mutex> &lock, RequestId id,
                                std::uint32_t ms, std::uint64_t heldMs) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (!r->posted) return kWrongState;
  auto sleep = [&](std::uint64_t nominal) {
    lock.unlock();
    clock_.sleep(nominal);
    lock.lock();
  };
  // What is left of a wait that the line held.
  const std::uint64_t left = heldMs < ms ? ms - heldMs : 0;
  for (std::size_t i = 0; i < r->rules.size(); ++i) {
    const RequestRule &rule = r->rules[i];
    if (rule.kind != RequestRule::Kind::Wait) continue;
    if (rule.times != 0 && r->ruleUses[i] >= rule.times) continue;
    // A scripted wait counts as waited, whatever it returns; only the one
    // that runs out of time takes its time.
    ++r->ruleUses[i];
    r->waited += ms;
    if (rule.code == kWaitNoResponse) sleep(left);
    return rule.code;
  }
  awaitExecuted(lock, r.get());
  if (closed_) return kWrongState;
  // Complete when the request's nominal time fits in the time waited on it;
  // the wait then lasts until the request is done.
  if (!r->never && (r->seenComplete || r->due <= r->postedAt + r->waited + ms)) {
    const std::uint64_t now = clock_.now();
    if (now < r->due) sleep(r->due - now);
    r->seenComplete = true;
    return kOk;
  }
  r->waited += ms;
  sleep(left);
  return kWaitNoResponse;
}

std::int32_t RequestTable::status(std::unique_lock<std::mutex> &lock, RequestId id) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (!r->posted) return kNotCompleted;
  awaitExecuted(lock, r.get());
  if (!complete(*r)) return kNotCompleted;
  return r->outcome.status;
}

std::int32_t RequestTable::responseValue(std::unique_lock<std::mutex> &lock,
                                         RequestId id, const std::string &field,
                                         std::string *value) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (!r->posted) return kNotCompleted;
  awaitExecuted(lock, r.get());
  if (!complete(*r)) return kNotCompleted;
  const Fields &fields = r->outcome.fields;
  for (std::size_t i = r->popped; i < fields.size(); ++i) {
    if (fields[i].name == field) {
      *value = fields[i].value;
      return kOk;
    }
  }
  return kNoResponseField;
}

std::int32_t RequestTable::responseValueCount(std::unique_lock<std::mutex> &lock,
                                              RequestId id) {
  const RequestPtr r = find(id);
  if (!r || !r->posted) return 0;
  awaitExecuted(lock, r.get());
  if (!complete(*r)) return 0;
  return static_cast<std::int32_t>(r->outcome.fields.size() - r->popped);
}

std::int32_t RequestTable::popResponseValue(std::unique_lock<std::mutex> &lock,
                                            RequestId id, Field *field) {
  const RequestPtr r = find(id);
  if (!r) return kInvalidHandle;
  if (!r->posted) return kNotCompleted;
  awaitExecuted(lock, r.get());
  if (!complete(*r)) return kNotCompleted;
  if (r->popped >= r->outcome.fields.size()) return kNoResponseField;
  *field = r->outcome.fields[r->popped++];
  return kOk;
}

void RequestTable::destroy(RequestId id) {
  const RequestPtr r = find(id);
  if (!r) return;
  r->destroyed = true;
  requests_.erase(id);
  spooled_.erase(std::remove(spooled_.begin(), spooled_.end(), r), spooled_.end());
}

std::int32_t RequestTable::responseCount(std::unique_lock<std::mutex> &lock,
                                         std::optional<std::int32_t> scripted) {
  awaitExecuted(lock, nullptr);
  if (scripted) return *scripted;
  const std::uint64_t now = clock_.now();
  return static_cast<std::int32_t>(
      std::count_if(spooled_.begin(), spooled_.end(),
                    [now](const RequestPtr &r) { return r->due <= now; }));
}

RequestId RequestTable::nextResponse(std::unique_lock<std::mutex> &lock) {
  awaitExecuted(lock, nullptr);
  if (spooled_.empty() || spooled_.front()->due > clock_.now()) return 0;
  RequestPtr r = std::move(spooled_.front());
  spooled_.pop_front();
  r->seenComplete = true;
  return r->id;
}

void RequestTable::executeQueued(Printer &printer, std::uint64_t *lastDue,
                                 const std::function<void(std::uint64_t)> &catchUp) {
  while (!toExecute_.empty()) {
    RequestPtr next = std::move(toExecute_.front());
    toExecute_.pop_front();
    catchUp(next->postedAt);
    execute(printer, next, lastDue);
  }
  executed_.notify_all();
}

void RequestTable::execute(Printer &printer, const RequestPtr &request,
                           std::uint64_t *lastDue) {
  Request &r = *request;
  using Kind = RequestRule::Kind;
  r.executed = true;
  if (r.never) return;
  Outcome outcome;
  if (const RequestRule *scripted = r.rule(Kind::Status)) {
    outcome.status = scripted->code;
    if (scripted->code != kOk && scripted->code != kDoneWithWarning)
      outcome.fields.push_back({"cm", r.name});
  } else {
    outcome = printer.execute(Command{r.name, r.params});
  }
  for (const RequestRule &rule : r.rules) {
    Fields &fields = outcome.fields;
    auto named = [&](const Field &f) { return f.name == rule.key; };
    if (rule.kind == Kind::Busy) {
      outcome.nominalMs = rule.ms;
    } else if (rule.kind == Kind::Field) {
      auto found = std::find_if(fields.begin(), fields.end(), named);
      if (found != fields.end())
        found->value = rule.value;
      else
        fields.push_back({rule.key, rule.value});
    } else if (rule.kind == Kind::NoField) {
      fields.erase(std::remove_if(fields.begin(), fields.end(), named), fields.end());
    } else if (rule.kind == Kind::NoFields) {
      fields.clear();
    }
  }
  // A request starts when it is posted or when the one before it is done.
  r.due = std::max(r.postedAt, *lastDue) + outcome.nominalMs;
  *lastDue = r.due;
  r.outcome = std::move(outcome);
  if (r.mode == FPD_POST_SPOOLSPECIAL && !r.lost && !r.destroyed)
    spooled_.push_back(request);
}

void RequestTable::close() {
  closed_ = true;
  toExecute_.clear();
  spooled_.clear();
  requests_.clear();
  executed_.notify_all();
}

} // namespace talmer
