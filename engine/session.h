// A program's session with the printer: what talmer.h does on an open Device,
// as C++. The engine serves one in process (LocalSession); the device
// library's link serves one from a printer process. Both answer the same
// calls with the same codes, so that the C boundary doesn't know which it has.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace talmer {

/// A request of a session; 0 is none.
using RequestId = std::uint32_t;

/// The modem settings of a DeviceHandle, read at each modem call.
struct ModemSettings {
  bool enabled = false; ///< FPD_PARAM_2000B is 1
  std::string init;
  std::string dial;
};

/// Every change of the printer's status, packed (packStatus). It is called
/// from a thread of the session's and must return quickly without calling the
/// session; it is given when the session is opened, so that it misses none.
using StatusListener = std::function<void(std::uint32_t)>;

class Session {
public:
  virtual ~Session() = default;

  /// Creates a request, with its ParamList when one is given. 0 on failure:
  /// lastError() tells why (and is 0 again after a creation that worked).
  virtual RequestId create(const std::string &name,
                           const std::optional<std::string> &paramList) = 0;
  virtual std::int32_t lastError() = 0;

  virtual std::int32_t push(RequestId id, const std::string &key,
                            const std::string &value) = 0;
  /// mode is FPD_POST_NORMAL or FPD_POST_SPOOLSPECIAL (checked by the caller).
  virtual std::int32_t post(RequestId id, std::int32_t mode) = 0;
  /// The code that posting the request will give, when it is known before:
  /// the script's "post fail" (so that a post across the link needs no answer).
  virtual std::optional<std::int32_t> postRefusal(RequestId id) {
    (void)id;
    return std::nullopt;
  }
  virtual std::int32_t wait(RequestId id, std::uint32_t ms) = 0;
  /// A wait that reached the printer heldMs after the program began it (a
  /// pulled cable held it on the line): it is decided as a wait of ms, and
  /// lasts only what is left of it.
  virtual std::int32_t waitHeld(RequestId id, std::uint32_t ms, std::uint64_t heldMs) {
    (void)heldMs;
    return wait(id, ms);
  }
  virtual std::int32_t status(RequestId id) = 0;
  virtual std::int32_t responseValue(RequestId id, const std::string &field,
                                     std::string *value) = 0;
  virtual std::int32_t responseValueCount(RequestId id) = 0;
  virtual std::int32_t popResponseValue(RequestId id, Field *field) = 0;
  /// Forgets the request in any state; a request with the printer is carried
  /// out and its result dropped.
  virtual void destroy(RequestId id) = 0;

  virtual std::int32_t responseCount() = 0;
  /// The oldest spooled request whose result has come, taken off; 0 if none.
  virtual RequestId nextResponse() = 0;

  /// The printer's status pair; on failure *pair is left as it was.
  virtual std::int32_t printerStatus(StatusPair *pair) = 0;

  /// mode 1 dials (checked by the caller).
  virtual std::int32_t modemDial(const ModemSettings &modem) = 0;
  virtual std::int32_t modemStatus(const ModemSettings &modem) = 0;

  /// Ends the session: requests still there are freed, no listener call
  /// comes after it returns. Idempotent.
  virtual void close() = 0;
};

} // namespace talmer
