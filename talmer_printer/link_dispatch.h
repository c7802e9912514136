// One program's link, from the printer's side: each frame that reaches the
// printer becomes a call of its session with the engine, and its answer a
// frame. A frame that breaks the protocol (a verb unknown, a field missing or
// out of range, a call before OPEN) ends the connection.
#pragma once

#include "engine/session.h"
#include "link/frame.h"
#include "talmer_printer/printer_host.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace talmer::printer {

class LinkDispatch {
public:
  /// notify sends a status change to the program (never blocks).
  LinkDispatch(PrinterHost &host, std::function<void(std::uint32_t)> notify)
      : host_(host), notify_(std::move(notify)) {}
  ~LinkDispatch() { closeSession(); }

  /// The answer to a frame, if it needs one. heldMs: how long the frame
  /// waited on the line (a pulled cable). False in *ok when the frame breaks
  /// the protocol; *error then says how.
  std::optional<link::Frame> handle(const link::Frame &frame, std::uint64_t heldMs,
                                    bool *ok, std::string *error);

  /// Ends the program's session: the printer is free for another at once.
  /// Any thread, also while a call of the session is under way.
  void closeSession();

private:
  std::optional<link::Frame> open(const link::Frame &frame, bool *ok,
                                  std::string *error);
  std::optional<link::Frame> call(const link::Frame &frame, std::uint64_t heldMs,
                                  bool *ok, std::string *error);

  /// The session, held for the length of a call.
  std::shared_ptr<Session> session();

  PrinterHost &host_;
  const std::function<void(std::uint32_t)> notify_;
  std::mutex mutex_;
  std::shared_ptr<Session> session_;       ///< null once closed
  bool opened_ = false;                    ///< a session was opened on this connection
  std::map<std::uint32_t, RequestId> ids_; ///< the library's to the engine's
  std::map<RequestId, std::uint32_t> byEngine_; ///< and back
};

/// A frame as the panel shows it: "CREATE id=3 name=trline list=na,Towar A|vt,0".
std::string describeCall(const link::Frame &frame);

} // namespace talmer::printer
