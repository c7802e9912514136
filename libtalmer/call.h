// One call of talmer.h from its entry to its exit. Every FPD_ function makes
// one first thing, with its name and its arguments as the trace writes them,
// and ends through it: when it goes, whatever the path, it writes the call's
// trace line and, when the call failed, the diagnostic that the debug level
// asks for. One place for both, on every exit.
#pragma once

#include "connection/talmer.h"
#include "libtalmer/device_handle.h"
#include "libtalmer/inside.h"
#include "libtalmer/trace.h"

#include <cstdint>
#include <string>

namespace talmer {

class Call {
public:
  /// arguments gives the arguments as the trace writes them; it is called at
  /// once, and only when there is a trace.
  template <typename Arguments>
  Call(const char *function, Arguments &&arguments)
      : function_(function), tracing_(trace::enabled()) {
    if (tracing_) arguments_ = arguments();
  }
  ~Call();
  Call(const Call &) = delete;
  Call &operator=(const Call &) = delete;

  /// The handle whose debug level applies to the call.
  void on(HandlePtr handle) { handle_ = std::move(handle); }

  /// Ends with a code ("= 0"); any other code than 0 is a failure.
  ErrorCode returns(ErrorCode code);
  /// Ends with the printer's answer, which is no failure of the call (the
  /// status of a completed request).
  ErrorCode answers(ErrorCode code);
  /// Ends with a number that isn't a code ("= 5"); failed with the code
  /// that tells why, when it did.
  std::int32_t returnsNumber(std::int32_t value);
  std::int32_t failsWithNumber(std::int32_t value, ErrorCode why);
  /// Ends with a handle ("= device1"), or null after a failure with the
  /// code that tells why.
  void *returnsHandle(void *token);
  void *failsWithNull(ErrorCode why);
  /// Ends with a text ("= \"...\"" or "= null"), no failure.
  const char *returnsText(const char *text);
  /// Ends with the name of an event object ("= event1"), no failure.
  void *returnsEvent(void *event);

  /// What the call wrote through its outputs (" -> ..."), made only when
  /// there is a trace.
  template <typename Outputs> void wrote(Outputs &&outputs) {
    if (tracing_) outputs_ = outputs();
  }

  /// The debug level of calls on no live handle: the last one set.
  static void setDefaultDebugLevel(std::int32_t level);

private:
  void fail(ErrorCode why) {
    failed_ = true;
    failure_ = why;
  }

  const char *function_;
  const bool tracing_;
  std::string arguments_;
  std::string result_ = "?";
  std::string outputs_;
  bool failed_ = false;
  ErrorCode failure_ = 0;
  HandlePtr handle_;
};

} // namespace talmer
