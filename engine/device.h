// An open virtual printer: its worker thread, its requests, the response
// queue, status notifications and the modem.
//
// Time is nominal: milliseconds of the printer's own clock, which runs
// TALMER_SIM_TIMESCALE times faster than real time from the moment the device
// is opened. The worker carries out each posted request as soon as it is
// posted, in order, and so knows at once when the request nominally
// completes; what callers observe (a wait's result, the response queue) is
// decided by those nominal times, never by how fast the threads happen to
// run.
#pragma once

#include "connection/talmer.h"
#include "engine/inside.h"
#include "engine/printer.h"
#include "engine/script.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace talmer {

/// One request. Shared by its handle and the device's worker; every field
/// past the constant ones is guarded by the device's lock.
struct RequestState {
  std::string name;
  std::uint32_t ordinal = 0; ///< n-th creation of that name on the device
  std::uint32_t serial = 0;  ///< the handle's number: "request<serial>"
  std::vector<const RequestRule *> rules;
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
};

using RequestPtr = std::shared_ptr<RequestState>;

/// The settings of a DeviceHandle that opening uses.
struct DeviceConfig {
  std::int32_t type = FPD_DEVICE_SERIAL;
  std::string comSettings;
  std::string usbSerial;
  std::int32_t notifyLevel = 1;
  std::shared_ptr<const Script> script;
};

/// The modem settings, read from the handle at each modem call.
struct ModemConfig {
  bool enabled = false;
  std::string init;
  std::string dial;
};

class DeviceCore {
public:
  /// Opens the printer or gives null with *error set.
  static std::shared_ptr<DeviceCore> open(const DeviceConfig &config,
                                          std::int32_t *error);
  ~DeviceCore();
  DeviceCore(const DeviceCore &) = delete;
  DeviceCore &operator=(const DeviceCore &) = delete;

  /// Stops the worker (no callback runs after it returns) and frees every
  /// request still queued or in flight. Idempotent.
  void close();

  std::int32_t lastError();
  void setNotifyLevel(std::int32_t level);

  // Requests. create() sets lastError() and gives null on failure.
  RequestPtr create(const std::string &name,
                    const std::optional<std::string> &paramList);
  std::int32_t push(const RequestPtr &r, std::string key, std::string value);
  std::int32_t post(const RequestPtr &r, std::int32_t mode);
  std::int32_t wait(const RequestPtr &r, std::uint32_t ms);
  std::int32_t status(const RequestPtr &r);
  std::int32_t responseValue(const RequestPtr &r, const std::string &field,
                             std::string *value);
  std::int32_t responseValueCount(const RequestPtr &r);
  std::int32_t popResponseValue(const RequestPtr &r, Field *field);
  void destroy(const RequestPtr &r);

  // Response queue.
  std::int32_t responseCount();
  RequestPtr nextResponse();

  // Status and notifications.
  std::int32_t printerStatus(StatusPair *pair);
  std::int32_t setEventHandlingMode(std::int32_t mode);
  void setCallback(FPD_StatusCallback callback);
  void *event() const { return event_; }

  // Modem.
  std::int32_t modemDial(const ModemConfig &modem, std::int32_t mode);
  std::int32_t modemStatus(const ModemConfig &modem);

  /// The nominal time since opening.
  std::uint64_t nominalNow() const;

private:
  struct Scheduled {
    TimedChange change;
    bool fromRequest = false; ///< a request changed the status: notify only
    std::uint32_t remaining = 1;
  };

  DeviceCore(const DeviceConfig &config, std::unique_ptr<Printer> printer);
  std::chrono::steady_clock::time_point realTimeOf(std::uint64_t nominalMs) const;
  void run();
  void executeLocked(const RequestPtr &r);
  void processDueLocked(std::uint64_t upTo, bool onlyAt);
  void applyLocked(const Scheduled &item);
  void notifyLocked();
  void deliverCallbacks(std::unique_lock<std::mutex> &lock);
  StatusPair reportedPairLocked() const;
  bool completeLocked(const RequestState &r) const;
  void awaitExecutedLocked(std::unique_lock<std::mutex> &lock, const RequestState *r);
  const RequestRule *ruleLocked(const RequestState &r, RequestRule::Kind kind) const;

  const std::shared_ptr<const Script> script_;
  const std::chrono::steady_clock::time_point start_;
  const std::uint32_t scale_;
  void *event_ = nullptr;

  mutable std::mutex mutex_;
  std::condition_variable wake_;     ///< the worker: work or time has come
  std::condition_variable executed_; ///< callers: the worker caught up
  std::unique_ptr<Printer> printer_;
  bool stopping_ = false;
  std::int32_t lastError_ = 0;
  std::map<std::string, std::uint32_t> created_;
  std::deque<RequestPtr> toExecute_;
  std::deque<RequestPtr> spooled_;
  std::uint64_t lastDue_ = 0;

  std::int32_t notifyLevel_ = 1;
  bool notifying_ = false;
  std::int32_t eventMode_ = 0;
  std::uint64_t enabledAt_ = 0;
  FPD_StatusCallback callback_ = nullptr;
  std::multimap<std::uint64_t, Scheduled> schedule_;
  std::deque<std::uint32_t> undelivered_;
  std::optional<StatusPair> scriptedPair_;

  bool dialled_ = false;
  std::uint32_t modemQueries_ = 0;

  std::thread worker_;
};

} // namespace talmer
