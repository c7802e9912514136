// The calls that cross the link, by their verbs, and how long an answer may
// take. docs/printer-process.md describes each with its fields.
#pragma once

#include <algorithm>
#include <cstdint>

namespace talmer::link {

// The device library asks; the printer answers with a REPLY of the same
// number, except to PUSH, POST and DESTROY, which need no answer: they are
// carried out in order, when they reach the printer.
constexpr const char *kList = "LIST"; ///< the printer's USB serial numbers
constexpr const char *kOpen = "OPEN";
constexpr const char *kClose = "CLOSE";
constexpr const char *kCreate = "CREATE";
constexpr const char *kPush = "PUSH";
constexpr const char *kPost = "POST";
constexpr const char *kWait = "WAIT";
constexpr const char *kStatus = "STATUS";
constexpr const char *kValue = "VALUE";
constexpr const char *kCount = "COUNT";
constexpr const char *kPop = "POP";
constexpr const char *kDestroy = "DESTROY";
constexpr const char *kQueue = "QUEUE";
constexpr const char *kNext = "NEXT";
constexpr const char *kPair = "PAIR";
constexpr const char *kDial = "DIAL";
constexpr const char *kModem = "MODEM";

// The printer sends.
constexpr const char *kReply = "REPLY";
constexpr const char *kNotify = "NOTIFY"; ///< a status change, unasked (number 0)

/// The link's version, said in OPEN and LIST.
constexpr std::int64_t kVersion = 1;

/// Real milliseconds that the printer gets to answer beyond a call's own
/// nominal time: a second of the printer's clock, but never less than a
/// quarter of a real second, so that a busy machine is not taken for a
/// pulled cable.
inline int answerMs(std::uint32_t scale) {
  return std::max(250, static_cast<int>(1000 / std::max<std::uint32_t>(scale, 1)));
}

/// A nominal time on the printer's clock, in real milliseconds (rounded up).
inline int realMs(std::uint64_t nominalMs, std::uint32_t scale) {
  const std::uint64_t s = std::max<std::uint32_t>(scale, 1);
  const std::uint64_t ms = (nominalMs + s - 1) / s;
  return static_cast<int>(std::min<std::uint64_t>(ms, 1u << 30));
}

} // namespace talmer::link
