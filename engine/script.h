// The virtual printer's script (TALMER_SIM_SCRIPT): what the printer reports
// and which calls fail. The format is documented in docs/virtual-printer.md.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace talmer {

/// A directive about requests, selected by name and optionally by the
/// ordinal of creation ("papfeed#3").
struct RequestRule {
  enum class Kind {
    CreateFail,
    PostFail,
    Wait,
    Status,
    Field,
    NoField,
    NoFields,
    Busy,
    Never,
    Lost
  };
  std::string name;
  std::uint32_t ordinal = 0; ///< 0: every request of that name
  Kind kind = Kind::Never;
  std::int32_t code = 0;   ///< CreateFail, PostFail, Wait, Status
  std::uint32_t times = 0; ///< Wait: how many waits; 0 every one
  std::string key;         ///< Field, NoField
  std::string value;       ///< Field, code page 1250
  std::uint32_t ms = 0;    ///< Busy

  bool selects(std::string_view requestName, std::uint32_t requestOrdinal) const {
    return name == requestName && (ordinal == 0 || ordinal == requestOrdinal);
  }
};

/// A status change at a nominal time after notifications are enabled.
struct TimedChange {
  enum class Kind { Status, PaperOut, PaperIn, CoverOpen, CoverClosed };
  Kind kind = Kind::Status;
  std::uint64_t atMs = 0;
  StatusPair pair;           ///< Status
  std::uint64_t everyMs = 0; ///< the interval of repetitions
  std::uint32_t times = 1;   ///< changes in all, the first included
};

/// The answer of one status query, chosen by its ordinal ("status#2 ...").
struct StatusAnswer {
  std::optional<std::int32_t> fail; ///< the query fails with this code
  StatusPair pair;                  ///< else it answers this pair
};

/// A script. Of a directive given twice the later one counts; request
/// directives and timed changes all apply, in the order written.
struct Script {
  bool handleFail = false;
  std::optional<std::string> usbDevices; ///< code page 1250
  std::optional<std::int32_t> usbDevicesFail;
  std::optional<std::int32_t> openFail;
  /// Descriptions of codes, code page 1250; nullopt: no description.
  std::map<std::int32_t, std::optional<std::string>> descriptions;
  std::vector<RequestRule> requests;
  std::optional<std::int32_t> responseCount;
  std::optional<StatusPair> status;                    ///< "status G P"
  std::optional<std::int32_t> statusFail;              ///< "status fail CODE"
  std::map<std::uint32_t, StatusAnswer> statusAnswers; ///< "status#N ..."

  bool eventNone = false;
  std::vector<TimedChange> changes;
  std::optional<std::int32_t> modemDialFail;
  std::vector<std::int32_t> modemStatus;
};

struct ParsedScript {
  Script script;
  std::vector<std::string> errors; ///< "line N: ..." for each bad line
};

/// Parses the text of a script (UTF-8).
ParsedScript parseScript(std::string_view text);

/// The longest script file that is read.
constexpr std::size_t kMaxScriptBytes = 1 << 20;

/// Reads and parses a script file (a regular file of at most
/// kMaxScriptBytes). Null when it can't be used, with the reasons in
/// *errors: "not a regular file", "line 3: not understood: ...". Its text
/// goes to *text when it is given.
std::shared_ptr<const Script> loadScript(const std::string &path,
                                         std::vector<std::string> *errors,
                                         std::string *text = nullptr);

/// The script with a later one's directives on top: what the later one says
/// counts, its request rules and timed changes come after the earlier ones'.
Script mergeScripts(const Script &earlier, const Script &later);

} // namespace talmer
