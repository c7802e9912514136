// How the printer's status changes reach a program: by a callback on a thread
// of their own or by signalling an event object, as FPD_SetEventHandlingMode
// chooses, at the level FPD_PARAM_2000A sets. The device library keeps one per
// open device, whether its printer is embedded or across the link.
//
// Changes that come before notifications are enabled wait, and are delivered
// when they are: in order to a callback, as one signal to an event object. A
// slow callback never holds up the printer: at most kQueueLimit changes wait
// for it; beyond that the newest replaces the last one waiting, so that the
// last call always carries the latest status.
#pragma once

#include "engine/inside.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace talmer {

class Notifications {
public:
  static constexpr std::size_t kQueueLimit = 64;

  using Callback = void (*)(std::uint32_t value);

  /// signal sets the device's event object; null when it has none.
  Notifications(std::function<void()> signal, std::int32_t level);
  ~Notifications();
  Notifications(const Notifications &) = delete;
  Notifications &operator=(const Notifications &) = delete;

  /// A change of the printer's status, packed. Never blocks.
  void statusChanged(std::uint32_t value);

  /// FPD_PARAM_2000A: 0 or below delivers nothing, 1 and above everything.
  void setLevel(std::int32_t level);
  /// FPD_EVENTS_EVENT_OBJECT or FPD_EVENTS_CALLBACK (checked by the caller).
  void setMode(std::int32_t mode);
  /// The function to call, or null.
  void setCallback(Callback callback);

  /// Ends delivery: no callback runs after it returns, unless it is called
  /// from the callback itself, which then finishes on its own. Idempotent.
  void stop();

  /// How many changes wait to be delivered (for tests).
  std::size_t waiting() const;

private:
  struct Inner;
  std::shared_ptr<Inner> inner_;
  std::thread thread_; ///< the delivery thread, under inner_'s lock
};

} // namespace talmer
