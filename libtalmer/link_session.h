// A session with a printer process across the link (TALMER_PRINTER): every
// call of a Device becomes a frame to the printer and, when it needs one, an
// answer awaited for the call's own time and the printer's answer time.
//
// The link is a line to a device: when the printer doesn't answer in time
// (its cable pulled), a wait gives FPD_WAIT_NO_RESPONSE and another call
// kPrinterNotAnswering; what was posted meanwhile reaches the printer when the
// line is back, once. When the printer process is gone (its connection
// closed), every call fails at once with kLinkLost.
#pragma once

#include "engine/engine.h"
#include "engine/session.h"
#include "libtalmer/inside.h"

#include <cstdint>
#include <memory>
#include <string>

namespace talmer {

/// Connects to the printer process at address (HOST:PORT) and opens it with
/// the port settings and the program's script (its text; may be empty).
/// Null with *error set: kPrinterNotAnswering when nothing answers there,
/// else the printer's own refusal (kPrinterBusy, ...).
std::unique_ptr<Session> openLinkSession(const std::string &address,
                                         const PortSettings &port,
                                         const std::string &scriptText,
                                         StatusListener listener, std::int32_t *error);

/// The printer process's USB serial numbers (FPD_PARAM_USB_DEVICES).
std::int32_t listLinkDevices(const std::string &address, std::string *listing);

} // namespace talmer
