#include "engine/modem.h"

#include "connection/talmer.h"
#include "engine/status_codes.h"
#include "engine/text_checks.h"

#include <algorithm>
#include <iterator>

namespace talmer {
namespace {

/// The modem states of an incoming call, and when each is reached.
constexpr std::int32_t kIncomingStates[] = {0, 10, 50, FPD_MODEM_CONNECTED};
constexpr std::uint64_t kIncomingStepMs = 1000;
/// Real milliseconds that a program's pause may fall short by, when the
/// platform shortens pauses to make up for oversleeping.
constexpr std::uint64_t kPauseSlackRealMs = 2;

} // namespace

std::int32_t Modem::checkDial(const ModemSettings &modem,
                              const ModemScript &script) const {
  if (!modem.enabled) return kNotAModem;
  if (!validModemCommand(modem.init) || !validModemCommand(modem.dial))
    return kBadModemCommand;
  if (script.dialFail) return *script.dialFail;
  return kOk;
}

std::int32_t Modem::status(const ModemSettings &modem, const ModemScript &script) {
  if (!modem.enabled || !validModemCommand(modem.init)) return -1;
  if (dialled_) return FPD_MODEM_CONNECTED;
  const std::uint32_t query = queries_++;
  if (!script.status.empty())
    return script.status[std::min<std::size_t>(query, script.status.size() - 1)];
  // An incoming call: each state is reached after its time and seen by a later
  // query, so that a program polling once a second sees every state once.
  constexpr std::size_t last = std::size(kIncomingStates) - 1;
  const std::size_t byQueries = std::min<std::size_t>(query, last);
  const std::uint64_t elapsed =
      clock_.now() - openedAt_ + clock_.nominalOfReal(kPauseSlackRealMs);
  const std::size_t byTime = std::min<std::size_t>(elapsed / kIncomingStepMs, last);
  return kIncomingStates[std::min(byQueries, byTime)];
}

} // namespace talmer
