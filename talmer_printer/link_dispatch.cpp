#include "talmer_printer/link_dispatch.h"

#include "connection/talmer.h"
#include "engine/script.h"
#include "engine/status_codes.h"
#include "link/protocol.h"
#include "platform/cp1250.h"

namespace talmer::printer {
namespace {

using link::Frame;

constexpr std::int64_t kIdHigh = 0xFFFFFFFFll;

Frame reply(const Frame &to) {
  Frame f;
  f.verb = link::kReply;
  f.seq = to.seq;
  return f;
}

/// Takes apart the fields that a call needs; the first missing or bad one
/// breaks the protocol.
struct Fields {
  explicit Fields(const Frame &f) : frame(f) {}
  const Frame &frame;
  bool ok = true;
  std::string error;

  std::int64_t number(const char *key, std::int64_t low, std::int64_t high) {
    const std::optional<std::int64_t> value = frame.number(key, low, high);
    if (!value && ok) {
      ok = false;
      error = frame.verb + " without a valid " + key;
    }
    return value.value_or(0);
  }
  std::string text(const char *key) {
    const std::optional<std::string> value = frame.text(key);
    if (!value && ok) {
      ok = false;
      error = frame.verb + " without " + key;
    }
    return value.value_or("");
  }
};

} // namespace

std::string describeCall(const Frame &frame) {
  std::string text = frame.verb;
  for (const auto &[key, value] : frame.fields) {
    if (key == "version" || key == "script") continue;
    std::string shown = cp1250::toUtf8(value);
    for (char &c : shown)
      if (c == '\n') c = '|';
    if (shown.size() > 60) {
      // Cut before a letter, never inside one.
      std::size_t cut = 57;
      while (cut > 0 && (static_cast<unsigned char>(shown[cut]) & 0xC0) == 0x80)
        --cut;
      shown = shown.substr(0, cut) + "...";
    }
    text += " " + key + "=" + shown;
  }
  return text;
}

std::shared_ptr<Session> LinkDispatch::session() {
  std::lock_guard<std::mutex> lock(mutex_);
  return session_;
}

void LinkDispatch::closeSession() {
  std::shared_ptr<Session> closing;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing.swap(session_);
  }
  if (!closing) return;
  closing->close();
  host_.disconnected();
}

std::optional<Frame> LinkDispatch::handle(const Frame &frame, std::uint64_t heldMs,
                                          bool *ok, std::string *error) {
  *ok = true;
  host_.called(describeCall(frame));
  if (frame.verb == link::kList) return reply(frame).add("usb", host_.options().usb);
  if (frame.verb == link::kOpen) return open(frame, ok, error);
  return call(frame, heldMs, ok, error);
}

std::optional<Frame> LinkDispatch::open(const Frame &frame, bool *ok,
                                        std::string *error) {
  Fields in(frame);
  PortSettings port;
  port.type =
      static_cast<std::int32_t>(in.number("type", FPD_DEVICE_SERIAL, FPD_DEVICE_USB));
  port.comSettings = in.text("com");
  port.usbSerial = in.text("usb");
  const std::string scriptText = frame.text("script").value_or("");
  const std::string program = cp1250::toUtf8(frame.text("program").value_or(""));
  if (!in.ok) {
    *ok = false;
    *error = in.error;
    return std::nullopt;
  }
  Frame answer = reply(frame);
  answer.add("scale", host_.options().timescale);
  if (session()) return answer.add("opened", 0).add("code", kAlreadyOpen);
  // The program's own script, as its library read it.
  ParsedScript parsed = parseScript(scriptText);
  if (!parsed.errors.empty())
    return answer.add("opened", 0).add("code", kDeviceOpenFailed);
  std::int32_t code = kOk;
  std::shared_ptr<Session> opened = host_.engine().connect(
      port, std::make_shared<const Script>(std::move(parsed.script)), notify_, &code);
  // Opening may fail with any code, 0 too ("open fail 0").
  if (!opened) return answer.add("opened", 0).add("code", code);
  ids_.clear();
  byEngine_.clear();
  opened_ = true;
  {
    // Told under the lock, so that a close by the reader is told after it.
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = std::move(opened);
    host_.connected(program.empty() ? "a program" : program);
  }
  return answer.add("opened", 1).add("code", code);
}

std::optional<Frame> LinkDispatch::call(const Frame &frame, std::uint64_t heldMs,
                                        bool *ok, std::string *error) {
  const std::shared_ptr<Session> session = this->session();
  if (!session && !opened_) {
    *ok = false;
    *error = frame.verb + " before OPEN";
    return std::nullopt;
  }
  if (!session) {
    // The session has ended: the frames still on their way are refused.
    if (frame.verb == link::kPush || frame.verb == link::kPost ||
        frame.verb == link::kDestroy)
      return std::nullopt;
    Frame refused = reply(frame);
    return refused.add("code", kWrongState)
        .add("count", 0)
        .add("id", 0)
        .add("state", -1);
  }
  Fields in(frame);
  const std::string &verb = frame.verb;
  Frame answer = reply(frame);
  auto done = [&](std::optional<Frame> result) -> std::optional<Frame> {
    *ok = in.ok;
    *error = in.error;
    return in.ok ? std::move(result) : std::nullopt;
  };
  // The engine's id of the library's; 0 for one that isn't there (any more).
  auto engineId = [&]() -> RequestId {
    const auto id = static_cast<std::uint32_t>(in.number("id", 1, kIdHigh));
    auto found = ids_.find(id);
    return found == ids_.end() ? 0 : found->second;
  };

  if (verb == link::kClose) {
    closeSession();
    return done(answer.add("code", kOk));
  }
  if (verb == link::kCreate) {
    const auto id = static_cast<std::uint32_t>(in.number("id", 1, kIdHigh));
    const std::string name = in.text("name");
    if (in.ok && ids_.count(id) != 0) {
      in.ok = false;
      in.error = "CREATE of a request that is there already";
    }
    if (!in.ok) return done(std::nullopt);
    const RequestId made = session->create(name, frame.text("list"));
    // Creation may fail with any code, 0 too ("create fail 0").
    if (made == 0) return done(answer.add("made", 0).add("code", session->lastError()));
    ids_[id] = made;
    byEngine_[made] = id;
    answer.add("made", 1).add("code", kOk);
    if (std::optional<std::int32_t> refusal = session->postRefusal(made))
      answer.add("postfail", *refusal);
    return done(answer);
  }
  if (verb == link::kPush) {
    const RequestId id = engineId();
    const std::string key = in.text("key"), value = in.text("value");
    if (in.ok && id != 0) session->push(id, key, value);
    return done(std::nullopt);
  }
  if (verb == link::kPost) {
    const RequestId id = engineId();
    const auto mode = static_cast<std::int32_t>(in.number("mode", 0, 2));
    if (in.ok && mode != FPD_POST_NORMAL && mode != FPD_POST_SPOOLSPECIAL) {
      in.ok = false;
      in.error = "POST in an unknown mode";
    }
    if (in.ok && id != 0) session->post(id, mode);
    return done(std::nullopt);
  }
  if (verb == link::kDestroy) {
    const RequestId id = engineId();
    if (in.ok && id != 0) {
      session->destroy(id);
      ids_.erase(byEngine_[id]);
      byEngine_.erase(id);
    }
    return done(std::nullopt);
  }
  if (verb == link::kWait) {
    const RequestId id = engineId();
    const auto ms = static_cast<std::uint32_t>(in.number("ms", 0, kIdHigh));
    if (!in.ok) return done(std::nullopt);
    const std::int32_t code =
        id == 0 ? kInvalidHandle : session->waitHeld(id, ms, heldMs);
    answer.add("code", code);
    // Done: its status comes with the answer, which saves a call.
    if (code == kOk) answer.add("status", session->status(id));
    return done(answer);
  }
  if (verb == link::kStatus) {
    const RequestId id = engineId();
    return done(answer.add("code", id == 0 ? kInvalidHandle : session->status(id)));
  }
  if (verb == link::kValue) {
    const RequestId id = engineId();
    const std::string field = in.text("field");
    std::string value;
    const std::int32_t code =
        id == 0 || !in.ok ? kInvalidHandle : session->responseValue(id, field, &value);
    answer.add("code", code);
    if (code == kOk) answer.add("value", value);
    return done(answer);
  }
  if (verb == link::kCount) {
    const RequestId id = engineId();
    return done(answer.add("count", id == 0 ? 0 : session->responseValueCount(id)));
  }
  if (verb == link::kPop) {
    const RequestId id = engineId();
    Field field;
    const std::int32_t code =
        id == 0 || !in.ok ? kInvalidHandle : session->popResponseValue(id, &field);
    answer.add("code", code);
    if (code == kOk) answer.add("name", field.name).add("value", field.value);
    return done(answer);
  }
  if (verb == link::kQueue) return done(answer.add("count", session->responseCount()));
  if (verb == link::kNext) {
    const RequestId id = session->nextResponse();
    auto found = byEngine_.find(id);
    return done(answer.add("id", found == byEngine_.end() ? 0 : found->second));
  }
  if (verb == link::kPair) {
    StatusPair pair;
    const std::int32_t code = session->printerStatus(&pair);
    answer.add("code", code);
    if (code == kOk) answer.add("global", pair.global).add("printer", pair.printer);
    return done(answer);
  }
  if (verb == link::kDial || verb == link::kModem) {
    ModemSettings modem;
    modem.enabled = in.number("enabled", 0, 1) == 1;
    modem.init = in.text("init");
    modem.dial = in.text("dial");
    if (!in.ok) return done(std::nullopt);
    if (verb == link::kDial) return done(answer.add("code", session->modemDial(modem)));
    return done(answer.add("state", session->modemStatus(modem)));
  }
  in.ok = false;
  in.error = "an unknown verb " + verb;
  return done(std::nullopt);
}

} // namespace talmer::printer
