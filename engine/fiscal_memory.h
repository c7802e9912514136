// The printer's fiscal memory: what it keeps between runs, its file format
// and the atomic write (written aside, flushed, renamed over the old file).
#pragma once

#include "engine/inside.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace talmer {

constexpr int kRateCount = 7;                 ///< rates A to G ("va" to "vg")
constexpr int kRateExempt = 100;              ///< a rate that is tax exempt
constexpr int kRateInactive = 101;            ///< a rate not in use
constexpr std::size_t kHeaderLines = 6;       ///< at most, in "hdrset"
constexpr std::size_t kFooterLines = 6;       ///< footer lines 0 to 5 ("ftrinfoset")
constexpr std::size_t kMaxBarcodeDigits = 16; ///< "ftrcfg"

using Amounts = std::array<long long, kRateCount>; ///< grosze per rate

// What a memory can hold; a file beyond these bounds is refused as damaged,
// and the printer refuses (kFiscalMemoryFull) what would take it beyond.
constexpr long kMaxNumber = 99'999'999; ///< receipt and report numbers, counts
/// Sales at one rate in every record and the day together, grosze: ten
/// million receipts of the largest amount.
constexpr long long kMaxTotal = 9'999'999'990'000'000;
/// The clock's offset from the computer's local time, either way: about 200
/// years, in seconds.
constexpr long long kMaxClockOffset = 200ll * 366 * 86400;

/// Sales totals: of the day so far, or of a daily report.
struct Totals {
  Amounts gross{}; ///< sales per rate, VAT included
  Amounts vat{};   ///< the VAT in them
  long receipts = 0;
  long invoices = 0;
  long cancelled = 0;
  bool operator==(const Totals &) const = default;
  Totals &operator+=(const Totals &t) {
    for (int r = 0; r < kRateCount; ++r) {
      gross[r] += t.gross[r];
      vat[r] += t.vat[r];
    }
    receipts += t.receipts;
    invoices += t.invoices;
    cancelled += t.cancelled;
    return *this;
  }
};

/// One daily report as kept in fiscal memory.
struct DailyRecord {
  long number = 0;
  std::string date; ///< YYYY-MM-DD, the printer's date of the report
  std::array<int, kRateCount> rates{};
  Totals totals;
  bool operator==(const DailyRecord &) const = default;
};

struct FiscalMemory {
  long long clockOffset = 0; ///< seconds added to the local time
  long receiptNumber = 0;    ///< the last receipt printed
  long reportNumber = 0;     ///< the last daily report
  std::array<int, kRateCount> rates{23,         8, 5, 0, kRateInactive, kRateInactive,
                                    kRateExempt};
  Totals day;
  std::vector<std::string> header{"&cSKLEP TESTOWY", "&cNIP 000-000-00-00"}; ///< cp1250
  std::array<std::string, kFooterLines> footer; ///< cp1250, empty: unused
  std::string barcode;                          ///< digits, empty: none
  std::vector<DailyRecord> records;
  bool operator==(const FiscalMemory &) const = default;
};

/// The sums of every daily record and of the day so far. For a memory within
/// the bounds (as parseMemory checks them), nothing overflows.
Totals lifetimeTotals(const FiscalMemory &memory);

/// The file's text: one item a line, texts in UTF-8, ended by a checksum line.
std::string serializeMemory(const FiscalMemory &memory);

/// The text with its checksum line added.
std::string sealMemory(const std::string &body);

/// False when the text isn't a complete, intact memory file, or holds what
/// no printer could have kept (docs/virtual-printer.md, "Fiscal memory").
bool parseMemory(const std::string &text, FiscalMemory *memory);

/// The longest memory file that is read.
constexpr std::size_t kMaxMemoryBytes = 16 << 20;

/// Loads the file. A file that doesn't exist is a fresh memory (kOk); one
/// that isn't a regular file of at most kMaxMemoryBytes, can't be read or
/// parsed is kStateFileDamaged, with the reason in *why, and is left
/// untouched.
std::int32_t loadMemory(const std::string &path, FiscalMemory *memory,
                        std::string *why = nullptr);

/// Writes the text to path + ".new", flushes it to disk and renames it over
/// path. kOk or kStateFileWrite.
std::int32_t saveMemory(const std::string &path, const std::string &text);

} // namespace talmer
