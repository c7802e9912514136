// The printer's modem in one session: dialling out, or an incoming call whose
// states follow the nominal clock and the program's polls. Called with the
// engine's lock held, but for the dial's wait.
#pragma once

#include "engine/clock.h"
#include "engine/inside.h"
#include "engine/session.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace talmer {

/// What the script says of the modem (the session's, else the printer's).
struct ModemScript {
  std::optional<std::int32_t> dialFail;
  std::vector<std::int32_t> status; ///< successive answers; the last repeats
};

class Modem {
public:
  /// The session starts now; an incoming call counts from then.
  Modem(Clock &clock, std::uint64_t openedAt) : clock_(clock), openedAt_(openedAt) {}

  /// How long dialling takes until the printer's modem answers.
  static constexpr std::uint32_t kDialMs = 1500;

  /// Checks what dialling needs; kOk when the caller may wait kDialMs and
  /// then call dialled().
  std::int32_t checkDial(const ModemSettings &modem, const ModemScript &script) const;
  void dialled() { dialled_ = true; }

  /// The modem state: -1 without a modem, FPD_MODEM_CONNECTED once dialled.
  std::int32_t status(const ModemSettings &modem, const ModemScript &script);

private:
  Clock &clock_;
  const std::uint64_t openedAt_;
  bool dialled_ = false;
  std::uint32_t queries_ = 0;
};

} // namespace talmer
