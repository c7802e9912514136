#include "talmer_printer/panel_server.h"

#include "engine/script.h"
#include "platform/socket.h"

#include <httplib.h>

namespace talmer::printer {
namespace {

constexpr std::size_t kMaxBodyBytes = 64 * 1024;

/// The body as one word: what curl -d sends, without the line end an editor
/// or echo may add.
std::string word(const std::string &body) {
  const std::size_t first = body.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return std::string();
  const std::size_t last = body.find_last_not_of(" \t\r\n");
  return body.substr(first, last - first + 1);
}

void refuse(httplib::Response &res, int status, const std::string &reason) {
  res.status = status;
  res.set_content(reason + "\n", "text/plain; charset=utf-8");
}

} // namespace

PanelServer::PanelServer(PrinterHost &host, EventHub &events)
    : host_(host), events_(events), server_(std::make_unique<httplib::Server>()) {
  routes();
}

PanelServer::~PanelServer() {
  stop();
}

void PanelServer::routes() {
  httplib::Server &s = *server_;
  s.set_payload_max_length(kMaxBodyBytes);
  s.new_task_queue = [] { return new httplib::ThreadPool(16); };

  s.Get("/", [](const httplib::Request &, httplib::Response &res) {
    res.set_content(kPanelPage, "text/html; charset=utf-8");
  });
  s.Get("/api/state", [this](const httplib::Request &, httplib::Response &res) {
    res.set_content(jsonText(host_.state()), "application/json");
  });
  s.Get("/api/roll", [this](const httplib::Request &, httplib::Response &res) {
    res.set_content(host_.roll(), "text/plain; charset=utf-8");
  });

  // The paper, the cover and the cable, as a person works them.
  auto control = [this](const char *what, const char *on, const char *off,
                        std::function<void(bool)> apply) {
    return [this, what, on, off, apply](const httplib::Request &req,
                                        httplib::Response &res) {
      const std::string value = word(req.body);
      if (value != on && value != off)
        return refuse(res, 400,
                      std::string(what) + ": the body must be " + on + " or " + off);
      apply(value == on);
      res.set_content(jsonText(host_.state()), "application/json");
    };
  };
  s.Post("/api/paper", control("paper", "out", "in",
                               [this](bool out) { host_.engine().setPaperOut(out); }));
  s.Post("/api/cover", control("cover", "open", "closed", [this](bool open) {
           host_.engine().setCoverOpen(open);
         }));
  s.Post("/api/link", control("link", "unplugged", "plugged",
                              [this](bool out) { host_.setPlugged(!out); }));

  s.Post("/api/script", [this](const httplib::Request &req, httplib::Response &res) {
    ParsedScript parsed = parseScript(req.body);
    if (!parsed.errors.empty())
      return refuse(res, 400, "script: " + parsed.errors.front());
    if (const std::string why = notThePrinters(parsed.script); !why.empty())
      return refuse(res, 400, "script: " + why);
    host_.engine().applyScript(parsed.script);
    res.set_content(jsonText(host_.state()), "application/json");
  });

  // Server-sent events: what changes, as it changes.
  s.Get("/api/events", [this](const httplib::Request &, httplib::Response &res) {
    auto subscription = events_.subscribe();
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream",
        [this, subscription](std::size_t, httplib::DataSink &sink) {
          // A first comment opens the stream at once; then the events as
          // they come, a comment now and then to notice a panel gone.
          static const std::string hello = ": talmer_printer\n\n";
          if (!sink.write(hello.data(), hello.size())) return false;
          while (!events_.closed()) {
            std::string chunk;
            for (const Event &event :
                 events_.next(subscription, std::chrono::milliseconds(15000)))
              chunk += serverSentEvent(event);
            if (chunk.empty()) chunk = ":\n\n";
            if (events_.closed() || !sink.write(chunk.data(), chunk.size()))
              return false;
          }
          return false;
        },
        [this, subscription](bool) { events_.unsubscribe(subscription); });
  });

  s.set_error_handler([](const httplib::Request &req, httplib::Response &res) {
    if (res.status == 404)
      refuse(res, 404, "no " + req.method + " " + req.path + " here; see GET /");
    else if (res.status == 413)
      refuse(res, 413,
             "a body of more than " + std::to_string(kMaxBodyBytes) + " bytes");
    else if (res.body.empty())
      refuse(res, res.status, "the request can't be taken");
  });
}

bool PanelServer::listen(const std::string &address, std::string *bound) {
  std::string host;
  std::uint16_t port = 0;
  if (!platform::splitAddress(address, &host, &port)) return false;
  int chosen = port;
  if (port == 0)
    chosen = server_->bind_to_any_port(host);
  else if (!server_->bind_to_port(host, port))
    chosen = -1;
  if (chosen <= 0) return false;
  *bound = host + ":" + std::to_string(chosen);
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return true;
}

void PanelServer::stop() {
  events_.close();
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
}

} // namespace talmer::printer
