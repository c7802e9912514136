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

struct Script {
  bool handleFail = false;
  std::optional<std::string> usbDevices; ///< code page 1250
  std::optional<std::int32_t> usbDevicesFail;
  std::optional<std::int32_t> openFail;
  /// Descriptions of codes, code page 1250; nullopt: no description.
  std::map<std::int32_t, std::optional<std::string>> descriptions;
  std::vector<RequestRule> requests;
  std::optional<std::int32_t> responseCount;
  std::optional<StatusPair> status;
  std::optional<std::int32_t> statusFail;
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

/// Reads the script that TALMER_SIM_SCRIPT names: an empty script when the
/// variable is unset. Reports bad lines (and an unreadable file) on standard
/// error and returns null then.
std::shared_ptr<const Script> loadScriptFromEnvironment();

} // namespace talmer
