// Fiscal memory: kept across opens, a damaged file refused and left alone,
// and a write killed at any moment never leaving an unreadable file.
#include "engine/fiscal_memory.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
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
  }

  std::unique_ptr<Printer> open(std::int32_t *error) {
    return Printer::open(optionsWith("", path_), readyStatus(), error);
  }

  void run(Printer &printer, const std::vector<Step> &steps) {
    for (const Step &step : steps)
      ASSERT_EQ(printer.execute(toCommand(step)).status, kOk) << step.name;
  }

  std::string path_;
};

TEST_F(FiscalMemoryFile, SecondRunContinuesWhereTheFirstEnded) {
  std::int32_t error = -1;
  {
    auto first = open(&error);
    ASSERT_EQ(error, kOk);
    run(*first, kSimpleSale);
    run(*first, kSaleWithCard);
    run(*first, {kVatRates,
                 kHeader,
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

TEST_F(FiscalMemoryFile, MissingFileIsAFreshMemory) {
  std::int32_t error = -1;
  auto printer = open(&error);
  ASSERT_NE(printer, nullptr);
  EXPECT_EQ(error, kOk);
  EXPECT_EQ(readFile(path_), ""); // nothing written until something changes
}

#ifndef _WIN32
TEST_F(FiscalMemoryFile, KilledWhileWritingNeverLeavesAnUnreadableFile) {
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
    EXPECT_GE(memory.receiptNumber, lastNumber);
    EXPECT_EQ(memory.day.receipts, memory.receiptNumber);
    lastNumber = memory.receiptNumber;
  }
  EXPECT_GT(lastNumber, 0);
}
#endif

} // namespace
} // namespace talmer
