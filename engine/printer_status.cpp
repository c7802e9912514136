#include "engine/printer_status.h"

#include "engine/status_codes.h"

namespace talmer {

std::int32_t PrinterStatus::printingRefusal() const {
  if (paperOut_) return kPaperOut;
  if (coverOpen_) return kCoverOpen;
  return kOk;
}

void PrinterStatus::setPaperOut(bool out) {
  paperOut_ = out;
  scripted_.reset();
}

void PrinterStatus::setCoverOpen(bool open) {
  coverOpen_ = open;
  scripted_.reset();
}

StatusPair PrinterStatus::reported() const {
  if (scripted_) return *scripted_;
  StatusPair pair;
  if (paperOut_) pair.printer |= kPrinterPaperOut;
  if (coverOpen_) pair.printer |= kPrinterCoverOpen;
  if (paperOut_ || coverOpen_) pair.global |= kGlobalCannotPrint;
  return pair;
}

std::uint32_t packStatus(StatusPair pair) {
  return (static_cast<std::uint32_t>(pair.global) << 16) |
         (static_cast<std::uint32_t>(pair.printer) & 0xFFFFu);
}

} // namespace talmer
