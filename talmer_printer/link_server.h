// The printer's end of the link: it accepts the programs' connections and
// carries their frames to the engine, one connection at a time in order, as a
// line carries bytes. While the cable is pulled, what a program sends waits
// on the line, and nothing comes back; when it is back, it all goes on, once.
#pragma once

#include "platform/socket.h"
#include "talmer_printer/printer_host.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace talmer::printer {

class LinkServer {
public:
  explicit LinkServer(PrinterHost &host) : host_(host) {}
  ~LinkServer() { stop(); }
  LinkServer(const LinkServer &) = delete;
  LinkServer &operator=(const LinkServer &) = delete;

  /// Listens on HOST:PORT (port 0: a free one); the address taken in *bound.
  bool listen(const std::string &address, std::string *bound);

  /// Closes the listener and every connection and waits for them. Idempotent.
  void stop();

  struct Connection;

private:
  void acceptConnections();

  PrinterHost &host_;
  platform::Socket listener_ = platform::kNoSocket;
  std::thread acceptor_;
  std::mutex mutex_;
  bool stopping_ = false;
  std::vector<std::shared_ptr<Connection>> connections_;
};

} // namespace talmer::printer
