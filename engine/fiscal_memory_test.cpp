// Fiscal memory: kept across opens, a damaged file refused and left alone,
// and a write killed at any moment never leaving an unreadable file.
#include "engine/fiscal_memory.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <regex>
#include <set>
#include <sstream>

#ifndef _WIN32
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "engine/printer.h"
#include "engine/printer_test_support.h"
#include "engine/status_codes.h"

namespace talmer {
namespace {

using namespace talmer::testing;

std::string readFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const std::string &path, const std::string &text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<Step> join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

std::string field(const Outcome &outcome, const std::string &name) {
  for (const Field &f : outcome.fields)
    if (f.name == name) return f.value;
  return "(none)";
}

// The file's text with one change, sealed with a checksum that fits.
std::string resealed(const std::string &text, const std::string &from,
                     const std::string &to) {
  std::string body = text.substr(0, text.rfind("checksum"));
  const std::size_t at = body.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) body.replace(at, from.size(), to);
  return sealMemory(body);
}

#ifndef _WIN32
// A file name of the test's own on a file system in memory where there is
// one: the kill tests write the memory hundreds of times, and what they test
// is the order of the writes, not how long the disk takes to flush them.
std::string inMemoryPath(const std::string &what) {
  std::error_code error;
  if (!std::filesystem::is_directory("/dev/shm", error)) return tempPath(what);
  const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string("/dev/shm/talmer.") + std::to_string(getpid()) + "." +
         test->name() + "." + what;
}
#endif

class FiscalMemoryFile : public ::testing::Test {
protected:
  void SetUp() override {
    fixLocalTime("2010-01-01 16:09:30");
    path_ = tempPath("state");
    std::remove(path_.c_str());
    std::remove((path_ + ".new").c_str());
  }
  void TearDown() override {
    std::remove(path_.c_str());
    std::remove((path_ + ".new").c_str());
    if (!roll_.empty()) std::remove(roll_.c_str());
  }

  std::unique_ptr<Printer> open(std::int32_t *error) {
    return Printer::open(optionsWith("", path_), readyStatus(), error);
  }

  void run(Printer &printer, const std::vector<Step> &steps) {
    for (const Step &step : steps)
      ASSERT_EQ(printer.execute(toCommand(step)).status, kOk) << step.name;
  }

  std::string path_;
  std::string roll_; ///< the paper roll, when the test prints
};

TEST_F(FiscalMemoryFile, SecondRunContinuesWhereTheFirstEnded) {
  std::int32_t error = -1;
  {
    auto first = open(&error);
    ASSERT_EQ(error, kOk);
    run(*first, {kVatRates});
    run(*first, kSimpleSale);
    run(*first, kSaleWithCard);
    run(*first, {kHeader,
                 kFooterLinesStep,
                 kBarcode,
                 {"rtcset", "", {{"da", "2012-05-06,07:08"}}}});
  }
  auto second = open(&error);
  ASSERT_EQ(error, kOk);
  run(*second, kSimpleSale);
  FiscalMemory memory;
  ASSERT_EQ(loadMemory(path_, &memory), kOk);
  EXPECT_EQ(memory.receiptNumber, 3);
  EXPECT_EQ(memory.day.receipts, 3);
  EXPECT_EQ(memory.day.gross[0], 99999 + 9999999 + 99999);
  EXPECT_EQ(memory.footer[2], "&cPA PA PA");
  EXPECT_EQ(memory.barcode, "1234567890");
  EXPECT_EQ(field(second->execute(toCommand({"rtcget", "", {}})), "da"),
            "2012-05-06,07:08");
  EXPECT_EQ(field(second->execute(toCommand({"vatget", "", {}})), "va"), "22");

  run(*second, {kDailyReport});
  second.reset();
  auto third = open(&error);
  ASSERT_EQ(error, kOk);
  run(*third, {kDailyReport});
  ASSERT_EQ(loadMemory(path_, &memory), kOk);
  ASSERT_EQ(memory.records.size(), 2u);
  EXPECT_EQ(memory.records[0].totals.receipts, 3);
  EXPECT_EQ(memory.records[0].date, "2012-05-06");
  EXPECT_EQ(memory.records[1].number, 2);
  EXPECT_EQ(memory.records[1].totals.receipts, 0);
}

TEST_F(FiscalMemoryFile, TextRoundTrips) {
  FiscalMemory memory;
  memory.clockOffset = -3600;
  memory.receiptNumber = 12;
  memory.reportNumber = 1;
  memory.header = {"&w&cBu\xB3"
                   "ka \\ n",
                   ""};
  memory.footer[5] = "&cPA\x01";
  memory.day.gross[6] = 5;
  memory.records.push_back({1, "2010-01-01", memory.rates, memory.day});
  FiscalMemory read;
  ASSERT_TRUE(parseMemory(serializeMemory(memory), &read));
  EXPECT_EQ(read, memory);
}

TEST_F(FiscalMemoryFile, DamagedFileIsAnOpeningErrorAndIsLeftAlone) {
  {
    std::int32_t error = -1;
    auto printer = open(&error);
    run(*printer, kSimpleSale);
    run(*printer, {kFooterLinesStep, kDailyReport});
  }
  const std::string good = readFile(path_);
  std::string flipped = good;
  flipped[flipped.size() / 2] ^= 0x20;
  std::vector<std::string> damaged = {
      "",
      "garbage\n",
      std::string(300, '\xFF'),
      flipped,
      good + "extra\n",
      resealed(good, "rates 23", "rates 230"),
      resealed(good, "2010-01-01", "2010-13-01"),
      resealed(good, "receipt-number 1", "receipt-number x")};
  for (std::size_t cut = 1; cut < good.size(); cut += 7)
    damaged.push_back(good.substr(0, cut));
  damaged.push_back(good.substr(0, good.size() - 1));
  for (const std::string &text : damaged) {
    SCOPED_TRACE(text.size());
    writeFile(path_, text);
    std::int32_t error = -1;
    EXPECT_EQ(open(&error), nullptr);
    EXPECT_EQ(error, kStateFileDamaged);
    EXPECT_NE(describeStatus(error), nullptr);
    EXPECT_EQ(readFile(path_), text);
  }
}

TEST_F(FiscalMemoryFile, RequestThatCannotBeKeptPrintsNothingAndChangesNothing) {
  roll_ = tempPath("roll");
  std::remove(roll_.c_str());
  std::int32_t error = -1;
  auto printer = Printer::open(optionsWith(roll_, path_), readyStatus(), &error);
  ASSERT_EQ(error, kOk);
  run(*printer, kSimpleSale);
  const std::string kept = readFile(path_);

  // A directory where the new memory file would be written: no write succeeds.
  ASSERT_TRUE(std::filesystem::create_directory(path_ + ".new"));
  run(*printer, {kSimpleSale[0], kSimpleSale[1]});
  const std::string before = readFile(roll_);
  for (const Step &step : {kSimpleSale[2], kHeader, kDailyReport}) {
    const Outcome outcome = printer->execute(toCommand(step));
    EXPECT_EQ(outcome.status, kStateFileWrite) << step.name;
    EXPECT_EQ(field(outcome, "cm"), step.name);
  }
  EXPECT_EQ(readFile(roll_), before);
  EXPECT_EQ(readFile(path_), kept);
  run(*printer, {{"prncancel", "", {}}}); // the receipt was closed, uncounted

  ASSERT_TRUE(std::filesystem::remove(path_ + ".new"));
  run(*printer, kSimpleSale);
  run(*printer, {kDailyReport});
  const std::string roll = readFile(roll_);
  EXPECT_EQ(roll.find("Paragon nr 2"), roll.rfind("Paragon nr "));
  EXPECT_NE(roll.find("Raport nr 1 "), std::string::npos);
  FiscalMemory memory;
  ASSERT_EQ(loadMemory(path_, &memory), kOk);
  EXPECT_EQ(memory.receiptNumber, 2);
  EXPECT_EQ(memory.records.at(0).totals.receipts, 2);
  EXPECT_EQ(memory.header, FiscalMemory{}.header);
}

// A memory file's lines without its checksum: each item possible.
const std::vector<std::string> kPossibleMemory = {
    "talmer-fiscal-memory 1",
    "clock-offset -32",
    "receipt-number 9",
    "report-number 3",
    "rates 22 7 0 3 101 101 100",
    "day 1 0 0 99999 0 0 0 0 0 0 18033 0 0 0 0 0 0",
    "header &cDrukarka fiskalna",
    "footer 2 &cPA PA PA",
    "barcode 1234567890",
    "record 3 2010-01-01 22 7 0 3 101 101 100 2 0 0 199998 0 0 0 0 0 0 36066 0 0 0 0 "
    "0 0"};

// The lines with changes: each replaces the first line that starts with its
// key, or is added when none does; an empty line removes it.
std::string
sealedWith(const std::vector<std::pair<std::string, std::string>> &changes) {
  std::vector<std::string> lines = kPossibleMemory;
  for (const auto &[key, line] : changes) {
    auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string &l) {
      return l.rfind(key + " ", 0) == 0;
    });
    if (found == lines.end())
      lines.push_back(line);
    else if (line.empty())
      lines.erase(found);
    else
      *found = line;
  }
  std::string body;
  for (const std::string &line : lines)
    body += line + "\n";
  return sealMemory(body);
}

std::string zeros(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += " 0";
  return text;
}

TEST_F(FiscalMemoryFile, ImpossibleContentsAreRefusedLikeDamage) {
  FiscalMemory possible;
  ASSERT_TRUE(parseMemory(sealedWith({}), &possible));
  const std::string max = "9223372036854775807";
  const std::string day = "day 1 0 0 ";
  const std::string record = "record 3 2010-01-01 22 7 0 3 101 101 100 2 0 0 ";
  struct Impossible {
    const char *what;
    std::vector<std::pair<std::string, std::string>> changes;
  };
  const std::vector<Impossible> cases = {
      {"receipt number below zero", {{"receipt-number", "receipt-number -1"}}},
      {"receipt number of nine digits",
       {{"receipt-number", "receipt-number 100000000"}}},
      {"receipt number at the largest long",
       {{"receipt-number", "receipt-number " + max}}},
      {"report number below zero",
       {{"report-number", "report-number -1"}, {"record", ""}}},
      {"report number of nine digits", {{"report-number", "report-number 100000000"}}},
      {"clock offset at the largest", {{"clock-offset", "clock-offset " + max}}},
      {"clock offset at the smallest",
       {{"clock-offset", "clock-offset -9223372036854775808"}}},
      {"clock offset beyond 200 years", {{"clock-offset", "clock-offset 6324480001"}}},
      {"clock offset beyond 200 years back",
       {{"clock-offset", "clock-offset -6324480001"}}},
      {"day's sales below zero", {{"day", day + "-1" + zeros(13)}}},
      {"day's sales at the largest", {{"day", day + max + zeros(13)}}},
      {"day's sales beyond the bound", {{"day", day + "9999999990000001" + zeros(13)}}},
      {"day's sales that overflow their sum",
       {{"day", day + "5000000000000000000 5000000000000000000" + zeros(12)}}},
      {"day's VAT above its sales",
       {{"day", day + "99999" + zeros(6) + " 100000" + zeros(6)}}},
      {"day's VAT below zero", {{"day", day + "99999" + zeros(6) + " -1" + zeros(6)}}},
      {"day's receipts below zero", {{"day", "day -1" + zeros(16)}}},
      {"day's invoices below zero", {{"day", "day 1 -1" + zeros(15)}}},
      {"day's cancelled below zero", {{"day", "day 1 0 -1" + zeros(14)}}},
      {"day's invoices of nine digits", {{"day", "day 1 100000000" + zeros(15)}}},
      {"day's cancelled of nine digits", {{"day", "day 1 0 100000000" + zeros(14)}}},
      {"more receipts counted than numbered", {{"day", "day 8" + zeros(16)}}},
      {"sales beyond the bound in the records and the day together",
       {{"day", day + "9999999990000000" + zeros(13)},
        {"record", record + "1" + zeros(13)}}},
      {"record's sales below zero", {{"record", record + "-1" + zeros(13)}}},
      {"record's VAT above its sales",
       {{"record", record + "1" + zeros(6) + " 2" + zeros(6)}}},
      {"record's receipts below zero",
       {{"record", "record 3 2010-01-01 22 7 0 3 101 101 100 -2" + zeros(16)}}},
      {"record numbered above the report number",
       {{"record", "record 4 2010-01-01 22 7 0 3 101 101 100" + zeros(17)}}},
      {"record numbered zero",
       {{"record", "record 0 2010-01-01 22 7 0 3 101 101 100" + zeros(17)}}},
      {"records out of order",
       {{"record 2", "record 2 2010-01-01 22 7 0 3 101 101 100" + zeros(17)}}},
      {"record given twice",
       {{"record 3x", "record 3 2010-01-01 22 7 0 3 101 101 100" + zeros(17)}}},
      {"header line wider than the paper",
       {{"header", "header " + std::string(41, 'x')}}},
      {"wide header line wider than the paper",
       {{"header", "header &c&w" + std::string(21, 'x')}}},
      {"footer line wider than the paper",
       {{"footer", "footer 2 " + std::string(41, 'x')}}},
      {"footer line given twice", {{"footer 2x", "footer 2 &cPA"}}},
      {"barcode of letters", {{"barcode", "barcode 12AB"}}},
      {"barcode of seventeen digits", {{"barcode", "barcode " + std::string(17, '1')}}},
      {"receipt number given twice", {{"receipt-number x", "receipt-number 10"}}},
      {"rates given twice", {{"rates x", "rates 23 8 5 0 101 101 100"}}},
      {"day given twice", {{"day x", "day 0" + zeros(16)}}},
      {"no receipt number", {{"receipt-number", ""}}},
      {"no day", {{"day", ""}}},
  };
  for (const Impossible &c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = sealedWith(c.changes);
    FiscalMemory memory;
    EXPECT_FALSE(parseMemory(text, &memory));
    writeFile(path_, text);
    std::int32_t error = -1;
    auto printer = open(&error);
    EXPECT_EQ(error, kStateFileDamaged);
    if (printer == nullptr) continue;
    // What a printer would do with it.
    for (const Step &step :
         join({{{"rtcget", "", {}}},
               kSimpleSale,
               {kDailyReport},
               {{"periodicrepbydates", "fd,1970-01-01\ntd,2099-12-31\nsu,0", {}}}}))
      printer->execute(toCommand(step));
  }
}

TEST_F(FiscalMemoryFile, FullMemoryRefusesWhatItCouldNotCount) {
  const std::string record = "record 3 2010-01-01 22 7 0 3 101 101 100 2 0 0 199998";
  // Sales at A that leave no room for a receipt of the largest amount.
  const std::string nearlyFull = std::to_string(kMaxTotal - 999'999'999 - 199'998 + 1);
  const Step invoice = kInvoice[0], receipt = kSimpleSale[0];
  struct Full {
    const char *what;
    std::vector<std::pair<std::string, std::string>> changes;
    std::vector<Step> refused, accepted;
  };
  const std::vector<Full> cases = {
      {"receipt numbers used up",
       {{"receipt-number", "receipt-number 99999999"}},
       {receipt},
       {invoice, {"prncancel", "", {}}, kDailyReport}},
      {"report numbers used up",
       {{"report-number", "report-number 99999999"}},
       {kDailyReport},
       {receipt, {"prncancel", "", {}}, invoice}},
      {"invoices counted up",
       {{"day", "day 1 99999999 0 99999" + zeros(6) + " 18033" + zeros(6)}},
       {invoice},
       {receipt}},
      {"cancelled receipts counted up",
       {{"day", "day 1 0 99999999 99999" + zeros(6) + " 18033" + zeros(6)}},
       {receipt},
       {invoice}},
      {"sales at a rate nearly at the bound",
       {{"day", "day 1 0 0 " + nearlyFull + zeros(13)}},
       {receipt, invoice},
       {kDailyReport}},
  };
  for (const Full &c : cases) {
    SCOPED_TRACE(c.what);
    writeFile(path_, sealedWith(c.changes));
    std::int32_t error = -1;
    auto printer = open(&error);
    ASSERT_EQ(error, kOk);
    for (const Step &step : c.refused) {
      const Outcome outcome = printer->execute(toCommand(step));
      EXPECT_EQ(outcome.status, kFiscalMemoryFull) << step.name;
      EXPECT_EQ(field(outcome, "cm"), step.name);
    }
    run(*printer, c.accepted);
  }
  EXPECT_NE(describeStatus(kFiscalMemoryFull), nullptr);
}

TEST_F(FiscalMemoryFile, MemoryFilledToItsBoundsIsReadBack) {
  const std::string roomForOne = std::to_string(kMaxTotal - 999'999'999 - 199'998);
  writeFile(path_, sealedWith({{"receipt-number", "receipt-number 99999998"},
                               {"day", "day 1 0 0 " + roomForOne + zeros(13)}}));
  std::int32_t error = -1;
  auto printer = open(&error);
  ASSERT_EQ(error, kOk);
  run(*printer, {{"trinit", "bm,0", {}},
                 {"trline", "na,A\nvt,0\npr,999999999", {}},
                 {"trend", "to,999999999", {}}});
  printer.reset();
  FiscalMemory memory;
  ASSERT_EQ(loadMemory(path_, &memory), kOk);
  EXPECT_EQ(memory.receiptNumber, kMaxNumber);
  EXPECT_EQ(lifetimeTotals(memory).gross[0], kMaxTotal);
  printer = open(&error);
  ASSERT_EQ(error, kOk);
  EXPECT_EQ(printer->execute(toCommand(kSimpleSale[0])).status, kFiscalMemoryFull);
  run(*printer, {kDailyReport});
}

TEST_F(FiscalMemoryFile, DailyReportNeedsADateThatTheMemoryKeeps) {
  // A clock about 127 years behind, and one that runs past 2099: the daily
  // report would keep a date that no memory file holds.
  writeFile(path_, sealedWith({{"clock-offset", "clock-offset -3999999992"}}));
  std::int32_t error = -1;
  auto printer = open(&error);
  ASSERT_EQ(error, kOk);
  const Outcome refused = printer->execute(toCommand(kDailyReport));
  EXPECT_EQ(refused.status, kBadDate);
  EXPECT_EQ(field(refused, "cm"), "dailyrep");
  run(*printer, {{"rtcset", "", {{"da", "2099-12-31,23:59"}}}, kDailyReport});
  fixLocalTime("2010-01-01 16:10:30");
  EXPECT_EQ(printer->execute(toCommand(kDailyReport)).status, kBadDate);
  FiscalMemory memory;
  ASSERT_EQ(loadMemory(path_, &memory), kOk);
  EXPECT_EQ(memory.records.back().date, "2099-12-31");
}

TEST_F(FiscalMemoryFile, MissingFileIsAFreshMemory) {
  std::int32_t error = -1;
  auto printer = open(&error);
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(error, kOk);
  EXPECT_EQ(readFile(path_), ""); // nothing written until something changes
}

#ifndef _WIN32
TEST_F(FiscalMemoryFile, KilledWhileWritingNeverLeavesAnUnreadableFile) {
  path_ = inMemoryPath("state");
  long lastNumber = 0;
  for (int round = 0; round < 40; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::int32_t error = -1;
      auto printer = Printer::open(optionsWith("", path_), readyStatus(), &error);
      if (printer == nullptr) _exit(3);
      // One receipt is kept however slow the disk, then the timer kills the
      // child somewhere in an endless run of receipts.
      itimerval timer{};
      timer.it_value.tv_usec = 500 + (round * 7919) % 4000;
      for (int receipt = 0; receipt < 100000; ++receipt) {
        for (const Step &step : kSimpleSale)
          if (printer->execute(toCommand(step)).status != kOk) _exit(4);
        if (receipt == 0) setitimer(ITIMER_REAL, &timer, nullptr);
      }
      _exit(5); // the timer never came
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with " << WEXITSTATUS(status);
    FiscalMemory memory;
    ASSERT_EQ(loadMemory(path_, &memory), kOk) << "round " << round;
    EXPECT_GT(memory.receiptNumber, lastNumber);
    EXPECT_EQ(memory.day.receipts, memory.receiptNumber);
    lastNumber = memory.receiptNumber;
  }
  EXPECT_GT(lastNumber, 0);
}

// The numbers of the receipts and daily reports on the roll's whole lines
// from *offset on; *offset moves past them.
void readPrintedNumbers(const std::string &rollPath, std::size_t *offset,
                        std::vector<long> *receipts, std::vector<long> *reports) {
  static const std::regex closing(
      R"((Paragon|Raport) nr ([0-9]+) +[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2})");
  std::ifstream roll(rollPath, std::ios::binary);
  roll.seekg(static_cast<std::streamoff>(*offset));
  std::string line;
  while (std::getline(roll, line) && !roll.eof()) { // a line cut short waits
    *offset += line.size() + 1;
    std::smatch match;
    if (!std::regex_match(line, match, closing)) continue;
    (match[1] == "Paragon" ? receipts : reports)->push_back(std::stol(match[2]));
  }
}

TEST_F(FiscalMemoryFile, KilledAtAnyMomentNeverPrintsANumberTwice) {
  path_ = inMemoryPath("state");
  roll_ = inMemoryPath("roll");
  std::remove(roll_.c_str());
  std::minstd_rand random(13);
  std::uniform_int_distribution<int> delayUs(10, 600);
  std::size_t offset = 0;
  std::set<long> receipts, reports;
  for (int round = 0; round < 200; ++round) {
    const int delay = delayUs(random);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::int32_t error = -1;
      auto printer = Printer::open(optionsWith(roll_, path_), readyStatus(), &error);
      if (printer == nullptr) _exit(3);
      // Receipts, and a daily report after every two; the first one whole,
      // then killed by the timer somewhere in the others.
      for (int next = round;; ++next) {
        const std::vector<Step> steps =
            next % 3 == 2 ? std::vector<Step>{kDailyReport} : kSimpleSale;
        for (const Step &step : steps)
          if (printer->execute(toCommand(step)).status != kOk) _exit(4);
        if (next == round) {
          itimerval timer{};
          timer.it_value.tv_usec = delay;
          setitimer(ITIMER_REAL, &timer, nullptr);
        }
      }
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child ended with " << WEXITSTATUS(status);

    std::vector<long> printedReceipts, printedReports;
    readPrintedNumbers(roll_, &offset, &printedReceipts, &printedReports);
    for (long n : printedReceipts)
      ASSERT_TRUE(receipts.insert(n).second) << "receipt " << n << " printed twice";
    for (long n : printedReports)
      ASSERT_TRUE(reports.insert(n).second) << "report " << n << " printed twice";
    FiscalMemory memory;
    ASSERT_EQ(loadMemory(path_, &memory), kOk) << "round " << round;
    if (!receipts.empty()) {
      ASSERT_GE(memory.receiptNumber, *receipts.rbegin()) << "round " << round;
    }
    if (!reports.empty()) {
      ASSERT_GE(memory.reportNumber, *reports.rbegin()) << "round " << round;
    }
  }
  EXPECT_FALSE(receipts.empty());
  EXPECT_FALSE(reports.empty());
}
#endif

} // namespace
} // namespace talmer
