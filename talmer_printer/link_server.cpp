#include "talmer_printer/link_server.h"

#include "link/channel.h"
#include "link/protocol.h"
#include "platform/socket.h"
#include "talmer_printer/link_dispatch.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>

namespace talmer::printer {
namespace {

/// Frames that may wait on a pulled cable before the connection is given up.
constexpr std::size_t kInboxLimit = 10000;
/// And bytes of their fields: a few frames of the largest size, not 10000.
constexpr std::size_t kInboxBytesLimit = 16 << 20;

std::size_t fieldBytes(const link::Frame &frame) {
  std::size_t bytes = 0;
  for (const auto &[key, value] : frame.fields)
    bytes += key.size() + value.size();
  return bytes;
}
/// Status changes that may wait to go out; beyond, the newest replaces the last.
constexpr std::size_t kNotifyLimit = 256;

} // namespace

struct LinkServer::Connection {
  struct Held {
    link::Frame frame;
    std::uint64_t arrived = 0; ///< on the printer's clock
  };

  PrinterHost &host;
  link::Channel channel;
  const std::string peer;
  std::mutex mutex;
  std::condition_variable moved;
  std::deque<Held> inbox;
  std::size_t inboxBytes = 0; ///< fieldBytes of the frames in it
  std::deque<link::Frame> outbox;
  std::size_t notifies = 0; ///< of them in the outbox
  bool closing = false;
  LinkDispatch dispatch;
  std::thread reader, dispatcher, writer;

  Connection(PrinterHost &h, platform::Socket socket, std::string from)
      : host(h), channel(socket), peer(std::move(from)),
        dispatch(h, [this](std::uint32_t value) { notify(value); }) {}

  void start() {
    reader = std::thread([this] { read(); });
    dispatcher = std::thread([this] { dispatchFrames(); });
    writer = std::thread([this] { write(); });
  }

  void join() {
    for (std::thread *t : {&reader, &dispatcher, &writer})
      if (t->joinable()) t->join();
  }

  bool isClosing() {
    std::lock_guard<std::mutex> lock(mutex);
    return closing;
  }

  void close(const std::string &why) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (closing) return;
      closing = true;
    }
    if (!why.empty()) say("link " + peer + ": " + why + "; the connection is closed");
    moved.notify_all();
    host.wake();
    channel.shutdown();
  }

  // Called under the engine's lock: it queues, never waits.
  void notify(std::uint32_t value) {
    link::Frame f;
    f.verb = link::kNotify;
    f.add("value", static_cast<std::int64_t>(value));
    std::lock_guard<std::mutex> lock(mutex);
    moved.notify_all();
    // Beyond the limit the newest replaces the last change waiting, also
    // when answers wait after it: the limit holds whatever else waits.
    if (notifies >= kNotifyLimit)
      for (auto waiting = outbox.rbegin(); waiting != outbox.rend(); ++waiting)
        if (waiting->verb == link::kNotify) {
          *waiting = std::move(f);
          return;
        }
    outbox.push_back(std::move(f));
    ++notifies;
  }

  void read() {
    for (;;) {
      link::Frame frame;
      const link::Channel::Got got = channel.receive(&frame, -1);
      if (got == link::Channel::Got::Broken) {
        close("a frame that breaks the link (" + channel.error() + ")");
        break;
      }
      if (got != link::Channel::Got::Frame) {
        close("");
        break;
      }
      // A call that can't block is carried out here, when nothing waits
      // before it: one thread less to wake. A wait or a dial goes to the
      // dispatcher, so that this thread goes on reading.
      const bool plugged = host.plugged();
      std::unique_lock<std::mutex> lock(mutex);
      if (plugged && inbox.empty() && !dispatching && !blocks(frame.verb)) {
        dispatching = true;
        lock.unlock();
        const bool ok = carryOut(frame, 0);
        lock.lock();
        dispatching = false;
        moved.notify_all();
        if (!ok) break;
        continue;
      }
      const std::size_t bytes = fieldBytes(frame);
      if (inbox.size() >= kInboxLimit || inboxBytes + bytes > kInboxBytesLimit) {
        lock.unlock();
        close("more than " + std::to_string(kInboxLimit) + " frames or " +
              std::to_string(kInboxBytesLimit) + " bytes on the line");
        break;
      }
      inboxBytes += bytes;
      inbox.push_back({std::move(frame), host.clock().now()});
      moved.notify_all();
    }
    // A program gone frees the printer at once, also while a call of its
    // waits in the engine.
    close("");
    dispatch.closeSession();
    --running;
  }

  std::atomic<int> running{3}; ///< of the connection's threads

  /// Waits until the queue holds something and the cable is in: nothing
  /// crosses a pulled cable. False once the connection closes.
  template <typename Queue> bool awaitTurn(const Queue &queue) {
    for (;;) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        moved.wait(lock, [&] { return closing || !queue.empty(); });
        if (closing) return false;
      }
      if (host.waitPlugged([&] { return isClosing(); })) return true;
      if (isClosing()) return false;
    }
  }

  void dispatchFrames() {
    dispatchAll();
    dispatch.closeSession(); // also one opened as the connection ended
    --running;
  }

  void dispatchAll() {
    for (;;) {
      Held held;
      if (!awaitTurn(inbox)) return;
      {
        std::unique_lock<std::mutex> lock(mutex);
        // One call at a time: the reader may be carrying one out.
        moved.wait(lock, [&] { return closing || !dispatching; });
        if (closing) return;
        if (inbox.empty()) continue;
        held = std::move(inbox.front());
        inbox.pop_front();
        inboxBytes -= fieldBytes(held.frame);
        dispatching = true;
      }
      const bool ok = carryOut(held.frame, host.clock().now() - held.arrived);
      {
        std::lock_guard<std::mutex> lock(mutex);
        dispatching = false;
        moved.notify_all();
      }
      if (!ok) return;
    }
  }

  std::mutex sending;       ///< what goes out goes in the order it was made
  bool dispatching = false; ///< a call is being carried out (by either thread)

  static bool blocks(const std::string &verb) {
    return verb == link::kWait || verb == link::kDial;
  }

  /// Carries a frame to the engine and sends its answer; false when it broke
  /// the protocol (the connection is then closed).
  bool carryOut(const link::Frame &frame, std::uint64_t heldMs) {
    bool ok = true;
    std::string error;
    std::optional<link::Frame> answer = dispatch.handle(frame, heldMs, &ok, &error);
    if (!ok) {
      close(error);
      return false;
    }
    if (answer) reply(std::move(*answer));
    return true;
  }

  // An answer goes out at once when nothing waits before it and the cable is
  // in; else after what waits, by the writer.
  void reply(link::Frame answer) {
    // Asked before the lock: the host's lock is never taken under ours.
    const bool plugged = host.plugged();
    std::lock_guard<std::mutex> inTurn(sending);
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (!outbox.empty() || !plugged) {
        outbox.push_back(std::move(answer));
        moved.notify_all();
        return;
      }
    }
    if (!channel.send(answer)) close("");
  }

  void write() {
    writeAll();
    --running;
  }

  void writeAll() {
    for (;;) {
      if (!awaitTurn(outbox)) return;
      std::lock_guard<std::mutex> inTurn(sending);
      link::Frame frame;
      {
        std::lock_guard<std::mutex> lock(mutex);
        if (outbox.empty()) continue;
        frame = std::move(outbox.front());
        outbox.pop_front();
        if (frame.verb == link::kNotify) --notifies;
      }
      if (!channel.send(frame)) {
        close("");
        return;
      }
    }
  }
};

bool LinkServer::listen(const std::string &address, std::string *bound) {
  std::string host;
  std::uint16_t port = 0;
  if (!platform::splitAddress(address, &host, &port)) return false;
  std::uint16_t chosen = 0;
  listener_ = platform::listenTcp(host, port, &chosen);
  if (listener_ == platform::kNoSocket) return false;
  *bound = host + ":" + std::to_string(chosen);
  acceptor_ = std::thread([this] { acceptConnections(); });
  return true;
}

void LinkServer::acceptConnections() {
  for (int serial = 1;; ++serial) {
    const platform::Socket socket = platform::acceptTcp(listener_);
    if (socket == platform::kNoSocket) return;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      platform::closeSocket(socket);
      return;
    }
    // The connections that have ended are let go.
    std::erase_if(connections_, [](const std::shared_ptr<Connection> &c) {
      if (c->running > 0) return false;
      c->join();
      return true;
    });
    auto connection = std::make_shared<Connection>(
        host_, socket, "connection " + std::to_string(serial));
    connection->start();
    connections_.push_back(std::move(connection));
  }
}

void LinkServer::stop() {
  std::vector<std::shared_ptr<Connection>> connections;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    connections.swap(connections_);
  }
  platform::shutdownSocket(listener_);
  if (acceptor_.joinable()) acceptor_.join();
  platform::closeSocket(listener_);
  for (const auto &connection : connections)
    connection->close("");
  for (const auto &connection : connections)
    connection->join();
}

} // namespace talmer::printer
