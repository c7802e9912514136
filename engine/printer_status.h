// What the printer reports and what keeps it from printing, in one place: the
// paper and the cover, and the script's overrides of the reported pair.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"

#include <cstdint>
#include <optional>

namespace talmer {

// The status bits of the reported pair (docs/virtual-printer.md).
constexpr std::int32_t kGlobalCannotPrint = 0x0001;
constexpr std::int32_t kPrinterPaperOut = 0x0001;
constexpr std::int32_t kPrinterCoverOpen = 0x0002;

class PrinterStatus {
public:
  bool paperOut() const { return paperOut_; }
  bool coverOpen() const { return coverOpen_; }

  /// The code that refuses a request that prints: 0 when it can print,
  /// kPaperOut, or kCoverOpen.
  std::int32_t printingRefusal() const;

  /// The paper runs out or is put back, the cover is opened or closed. A
  /// change of the mechanism ends a scripted pair: the pair shows the
  /// printer's own bits again.
  void setPaperOut(bool out);
  void setCoverOpen(bool open);

  /// The script says what the printer reports, until the mechanism changes.
  /// It says nothing about printing: paper and cover alone refuse that.
  void setScriptedPair(StatusPair pair) { scripted_ = pair; }

  /// The pair that the printer reports now.
  StatusPair reported() const;

private:
  bool paperOut_ = false;
  bool coverOpen_ = false;
  std::optional<StatusPair> scripted_;
};

/// The pair packed as a notification carries it: the global status in the
/// high 16 bits, the printer status in the low 16 bits.
std::uint32_t packStatus(StatusPair pair);

} // namespace talmer
