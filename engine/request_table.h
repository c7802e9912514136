// The requests of one session and their nominal timing: creation with the
// script's rules, parameters, posting, waits, status and fields, and the
// queue of spooled results.
//
// Time is nominal. The worker carries out each posted request as soon as it
// is posted, in order, and so knows at once when the request nominally
// completes; what callers observe (a wait's result, the response queue) is
// decided by those nominal times, never by how fast the threads happen to
// run. Every function is called with the engine's lock held; those that wait
// take it as a unique_lock.
#pragma once

#include "engine/clock.h"
#include "engine/inside.h"
#include "engine/printer.h"
#include "engine/script.h"
#include "engine/session.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace talmer {

class RequestTable {
public:
  RequestTable(Clock &clock, std::condition_variable &executed);

  /// Creates a request with the rules of the scripts that select it (the
  /// printer's, then the session's). 0 with *error set on failure.
  RequestId create(const std::string &name, const std::optional<std::string> &paramList,
                   const std::vector<const Script *> &scripts, std::int32_t *error);
  std::int32_t push(RequestId id, std::string key, std::string value);
  /// The script's "post fail" of the request.
  std::optional<std::int32_t> postRefusal(RequestId id) const;
  /// Queues the request for the worker, which the caller then wakes.
  std::int32_t post(RequestId id, std::int32_t mode);
  /// heldMs of the wait passed before it reached the printer.
  std::int32_t wait(std::unique_lock<std::mutex> &lock, RequestId id, std::uint32_t ms,
                    std::uint64_t heldMs = 0);
  std::int32_t status(std::unique_lock<std::mutex> &lock, RequestId id);
  std::int32_t responseValue(std::unique_lock<std::mutex> &lock, RequestId id,
                             const std::string &field, std::string *value);
  std::int32_t responseValueCount(std::unique_lock<std::mutex> &lock, RequestId id);
  std::int32_t popResponseValue(std::unique_lock<std::mutex> &lock, RequestId id,
                                Field *field);
  void destroy(RequestId id);

  std::int32_t responseCount(std::unique_lock<std::mutex> &lock,
                             std::optional<std::int32_t> scripted);
  RequestId nextResponse(std::unique_lock<std::mutex> &lock);

  /// The worker: carries out every posted request in order, each after
  /// catchUp(its posting time) has brought the printer's timed changes up to
  /// then. lastDue is when the printer finishes the last request before them.
  bool hasQueued() const { return !toExecute_.empty(); }
  void executeQueued(Printer &printer, std::uint64_t *lastDue,
                     const std::function<void(std::uint64_t)> &catchUp);

  /// Ends the table: every wait returns, every request is freed.
  void close();

private:
  struct Request;
  using RequestPtr = std::shared_ptr<Request>;

  RequestPtr find(RequestId id) const;
  void awaitExecuted(std::unique_lock<std::mutex> &lock, const Request *r);
  bool complete(const Request &r) const;
  void execute(Printer &printer, const RequestPtr &request, std::uint64_t *lastDue);

  Clock &clock_;
  std::condition_variable &executed_;
  bool closed_ = false;
  RequestId lastId_ = 0;
  std::map<RequestId, RequestPtr> requests_;
  std::map<std::string, std::uint32_t> created_; ///< per name, failed ones too
  std::deque<RequestPtr> toExecute_;
  std::deque<RequestPtr> spooled_;
};

} // namespace talmer
