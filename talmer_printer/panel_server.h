// The panel and the HTTP API of the printer process: GET / is the page; the
// rest is JSON for the page, for scripts (curl) and for tests. A request it
// can't take gets 400 or 404 with a one-line reason and changes nothing.
#pragma once

#include "talmer_printer/event_hub.h"
#include "talmer_printer/printer_host.h"

#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace talmer::printer {

class PanelServer {
public:
  PanelServer(PrinterHost &host, EventHub &events);
  ~PanelServer();
  PanelServer(const PanelServer &) = delete;
  PanelServer &operator=(const PanelServer &) = delete;

  /// Listens on HOST:PORT (port 0: a free one); the address taken in *bound.
  bool listen(const std::string &address, std::string *bound);
  /// Ends the event streams and the server. Idempotent.
  void stop();

private:
  void routes();

  PrinterHost &host_;
  EventHub &events_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
};

/// The page of the panel (panel.html, built in).
extern const char *const kPanelPage;

} // namespace talmer::printer
