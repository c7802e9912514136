#include "libtalmer/link_session.h"

#include "connection/talmer.h"
#include "engine/modem.h"
#include "engine/status_codes.h"
#include "link/channel.h"
#include "link/protocol.h"
#include "platform/platform.h"
#include "platform/process.h"
#include "platform/socket.h"

#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

namespace talmer {
namespace {

using link::Frame;

constexpr int kConnectMs = 2000;
constexpr std::int64_t kCodeLow = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kCodeHigh = 0xFFFFFFFFll;

Frame frame(const char *verb) {
  Frame f;
  f.verb = verb;
  return f;
}

std::int32_t code(const Frame &reply, const char *key = "code") {
  const std::optional<std::int64_t> value = reply.number(key, kCodeLow, kCodeHigh);
  // A printer that answers what isn't a code doesn't answer.
  return value ? static_cast<std::int32_t>(static_cast<std::uint32_t>(*value))
               : kPrinterNotAnswering;
}

platform::Socket connectTo(const std::string &address) {
  std::string host;
  std::uint16_t port = 0;
  if (!platform::splitAddress(address, &host, &port)) return platform::kNoSocket;
  return platform::connectTcp(host, port, kConnectMs);
}

class LinkSession final : public Session {
public:
  LinkSession(platform::Socket socket, StatusListener listener)
      : channel_(socket), listener_(std::move(listener)) {
    reader_ = std::thread([this] { read(); });
  }

  ~LinkSession() override { close(); }

  /// OPEN; the printer's time scale comes with its answer. Until then the
  /// program's own says how long an answer may take.
  std::int32_t open(const PortSettings &port, const std::string &scriptText) {
    Frame f = frame(link::kOpen);
    f.add("version", link::kVersion)
        .add("type", port.type)
        .add("com", port.comSettings)
        .add("usb", port.usbSerial)
        .add("script", scriptText)
        .add("program", platform::programName());
    const Answer answer =
        call(std::move(f), 0, 4 * link::answerMs(platform::timeScale()));
    if (!answer.reply) return answer.failure;
    scale_ = static_cast<std::uint32_t>(
        answer.reply->number("scale", 1, 1000000).value_or(1));
    // Opening may fail with any code, 0 too ("open fail 0").
    opened_ = answer.reply->number("opened", 0, 1) == 1;
    return code(*answer.reply);
  }

  bool opened() const { return opened_; }

  RequestId create(const std::string &name,
                   const std::optional<std::string> &paramList) override {
    RequestId id;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      id = ++lastId_;
    }
    Frame f = frame(link::kCreate);
    f.add("id", id).add("name", name);
    if (paramList) f.add("list", *paramList);
    const Answer answer = call(std::move(f), 0);
    const std::int32_t error = answer.reply ? code(*answer.reply) : answer.failure;
    const bool made = answer.reply && answer.reply->number("made", 0, 1) == 1;
    if (!answer.reply) send(frame(link::kDestroy).add("id", id)); // if it comes late
    std::lock_guard<std::mutex> lock(mutex_);
    lastError_ = error;
    if (!made) return 0;
    Local &local = requests_[id];
    if (std::optional<std::int64_t> fail =
            answer.reply->number("postfail", kCodeLow, kCodeHigh))
      local.postFail = static_cast<std::int32_t>(static_cast<std::uint32_t>(*fail));
    return id;
  }

  std::int32_t lastError() override {
    std::lock_guard<std::mutex> lock(mutex_);
    return lastError_;
  }

  std::int32_t push(RequestId id, const std::string &key,
                    const std::string &value) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = requests_.find(id);
      if (found == requests_.end()) return kInvalidHandle;
      if (found->second.posted) return kWrongState;
    }
    return send(frame(link::kPush).add("id", id).add("key", key).add("value", value));
  }

  std::int32_t post(RequestId id, std::int32_t mode) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = requests_.find(id);
      if (found == requests_.end()) return kInvalidHandle;
      if (found->second.posted) return kWrongState;
      if (found->second.postFail) return *found->second.postFail;
      found->second.posted = true;
    }
    // Posted: it reaches the printer in its turn, also once a pulled cable
    // is back.
    return send(frame(link::kPost).add("id", id).add("mode", mode));
  }

  std::int32_t wait(RequestId id, std::uint32_t ms) override {
    const Answer answer = call(frame(link::kWait).add("id", id).add("ms", ms), ms);
    if (!answer.reply) return answer.failure == kLinkLost ? kLinkLost : kWaitNoResponse;
    const std::int32_t result = code(*answer.reply);
    // A request that is done keeps its status: it came with the answer.
    if (result == kOk && answer.reply->text("status")) {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = requests_.find(id);
      if (found != requests_.end())
        found->second.status = code(*answer.reply, "status");
    }
    return result;
  }

  std::int32_t status(RequestId id) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = requests_.find(id);
      if (found != requests_.end() && found->second.status)
        return *found->second.status;
    }
    const Answer answer = call(frame(link::kStatus).add("id", id), 0);
    return answer.reply ? code(*answer.reply) : answer.failure;
  }

  std::int32_t responseValue(RequestId id, const std::string &field,
                             std::string *value) override {
    const Answer answer =
        call(frame(link::kValue).add("id", id).add("field", field), 0);
    if (!answer.reply) return answer.failure;
    const std::int32_t result = code(*answer.reply);
    if (result == kOk) *value = answer.reply->text("value").value_or("");
    return result;
  }

  std::int32_t responseValueCount(RequestId id) override {
    const Answer answer = call(frame(link::kCount).add("id", id), 0);
    if (!answer.reply) return 0;
    return static_cast<std::int32_t>(
        answer.reply->number("count", 0, 1 << 30).value_or(0));
  }

  std::int32_t popResponseValue(RequestId id, Field *field) override {
    const Answer answer = call(frame(link::kPop).add("id", id), 0);
    if (!answer.reply) return answer.failure;
    const std::int32_t result = code(*answer.reply);
    if (result == kOk)
      *field = {answer.reply->text("name").value_or(""),
                answer.reply->text("value").value_or("")};
    return result;
  }

  void destroy(RequestId id) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.erase(id);
    }
    send(frame(link::kDestroy).add("id", id));
  }

  std::int32_t responseCount() override {
    const Answer answer = call(frame(link::kQueue), 0);
    if (!answer.reply) return 0;
    return static_cast<std::int32_t>(
        answer.reply->number("count", kCodeLow, kCodeHigh).value_or(0));
  }

  RequestId nextResponse() override {
    const Answer answer = call(frame(link::kNext), 0);
    if (!answer.reply) return 0;
    return static_cast<RequestId>(
        answer.reply->number("id", 0, 0xFFFFFFFFll).value_or(0));
  }

  std::int32_t printerStatus(StatusPair *pair) override {
    const Answer answer = call(frame(link::kPair), 0);
    if (!answer.reply) return answer.failure;
    const std::int32_t result = code(*answer.reply);
    const auto global = answer.reply->number("global", kCodeLow, kCodeHigh);
    const auto printer = answer.reply->number("printer", kCodeLow, kCodeHigh);
    if (result != kOk) return result;
    if (!global || !printer) return kPrinterNotAnswering;
    *pair = {static_cast<std::int32_t>(*global), static_cast<std::int32_t>(*printer)};
    return kOk;
  }

  std::int32_t modemDial(const ModemSettings &modem) override {
    const Answer answer = call(withModem(frame(link::kDial), modem), Modem::kDialMs);
    return answer.reply ? code(*answer.reply) : answer.failure;
  }

  std::int32_t modemStatus(const ModemSettings &modem) override {
    const Answer answer = call(withModem(frame(link::kModem), modem), 0);
    if (!answer.reply) return -1;
    return code(*answer.reply, "state");
  }

  void close() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (closed_) return;
      closed_ = true;
    }
    // The printer frees its port at once; one that didn't open needs nothing.
    if (opened_) call(frame(link::kClose), 0);
    channel_.shutdown();
    if (reader_.joinable()) reader_.join();
  }

private:
  struct Local {
    bool posted = false;
    std::optional<std::int32_t> postFail; ///< the script's, told at creation
    std::optional<std::int32_t> status;   ///< once done, told with the wait
  };

  struct Answer {
    std::optional<Frame> reply;
    std::int32_t failure = kOk; ///< without a reply: why
  };

  static Frame withModem(Frame f, const ModemSettings &modem) {
    f.add("enabled", modem.enabled ? 1 : 0)
        .add("init", modem.init)
        .add("dial", modem.dial);
    return f;
  }

  /// Sends a frame that needs no answer.
  std::int32_t send(const Frame &f) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (lost_) return kLinkLost;
    }
    if (channel_.send(f)) return kOk;
    markLost();
    return kLinkLost;
  }

  /// One call at a time: sends the frame and waits for its answer for the
  /// call's nominal time and the printer's answer time.
  Answer call(Frame f, std::uint64_t nominalMs, int answerMs = 0) {
    std::lock_guard<std::mutex> calling(calls_);
    std::unique_lock<std::mutex> lock(mutex_);
    if (lost_) return {std::nullopt, kLinkLost};
    f.seq = ++seq_;
    awaiting_ = f.seq;
    reply_.reset();
    lock.unlock();
    if (!channel_.send(f)) {
      markLost();
      return {std::nullopt, kLinkLost};
    }
    lock.lock();
    const int patience = link::realMs(nominalMs, scale_) +
                         (answerMs > 0 ? answerMs : link::answerMs(scale_));
    answered_.wait_for(lock, std::chrono::milliseconds(patience),
                       [&] { return reply_.has_value() || lost_; });
    awaiting_ = 0;
    if (reply_) return {std::move(reply_), kOk};
    return {std::nullopt, lost_ ? kLinkLost : kPrinterNotAnswering};
  }

  void markLost() {
    std::lock_guard<std::mutex> lock(mutex_);
    lost_ = true;
    answered_.notify_all();
  }

  // The reader: answers to the call that waits, status changes to the
  // listener; the end of the connection, or what isn't a frame, loses it.
  void read() {
    for (;;) {
      Frame f;
      if (channel_.receive(&f, -1) != link::Channel::Got::Frame) break;
      if (f.verb == link::kNotify) {
        if (std::optional<std::int64_t> value = f.number("value", 0, 0xFFFFFFFFll))
          if (listener_) listener_(static_cast<std::uint32_t>(*value));
      } else if (f.verb == link::kReply) {
        std::lock_guard<std::mutex> lock(mutex_);
        // An answer that comes after its call gave up is dropped.
        if (f.seq == awaiting_) {
          reply_ = std::move(f);
          answered_.notify_all();
        }
      } else {
        break;
      }
    }
    markLost();
  }

  link::Channel channel_;
  const StatusListener listener_;
  std::thread reader_;
  std::mutex calls_; ///< one call at a time
  std::mutex mutex_;
  std::condition_variable answered_;
  std::uint32_t seq_ = 0;
  std::uint32_t awaiting_ = 0;
  std::optional<Frame> reply_;
  bool lost_ = false;
  bool closed_ = false;
  bool opened_ = false;
  std::uint32_t scale_ = 1;
  RequestId lastId_ = 0;
  std::int32_t lastError_ = kOk;
  std::map<RequestId, Local> requests_;
};

} // namespace

std::unique_ptr<Session> openLinkSession(const std::string &address,
                                         const PortSettings &port,
                                         const std::string &scriptText,
                                         StatusListener listener, std::int32_t *error) {
  const platform::Socket socket = connectTo(address);
  if (socket == platform::kNoSocket) {
    *error = kPrinterNotAnswering;
    return nullptr;
  }
  auto session = std::make_unique<LinkSession>(socket, std::move(listener));
  *error = session->open(port, scriptText);
  if (!session->opened()) return nullptr;
  return session;
}

std::int32_t listLinkDevices(const std::string &address, std::string *listing) {
  const platform::Socket socket = connectTo(address);
  if (socket == platform::kNoSocket) return kUsbListingFailed;
  link::Channel channel(socket);
  Frame ask = frame(link::kList);
  ask.seq = 1;
  ask.add("version", link::kVersion);
  Frame reply;
  if (!channel.send(ask) ||
      channel.receive(&reply, 4 * link::answerMs(platform::timeScale())) !=
          link::Channel::Got::Frame ||
      reply.verb != link::kReply || !reply.text("usb"))
    return kUsbListingFailed;
  *listing = *reply.text("usb");
  return kOk;
}

} // namespace talmer
