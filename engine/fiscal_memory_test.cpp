// Fiscal memory: kept across opens, a damaged file refused and left alone,
// and a write killed at any moment never leaving an unreadable file.
#include "engine/fiscal_memory.h"

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
    return Printer::open({"", path_}, error);
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
  auto printer = Printer::open({roll_, path_}, &error);
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
      // Killed by the timer somewhere in an endless run of receipts, after
      // the first one (so that every round gets somewhere, however busy the
      // machine).
      std::int32_t error = -1;
      auto printer = Printer::open({"", path_}, &error);
      if (printer == nullptr) _exit(3);
      for (int receipt = 0; receipt < 100000; ++receipt) {
        for (const Step &step : kSimpleSale)
          if (printer->execute(toCommand(step)).status != kOk) _exit(4);
        if (receipt == 0) {
          itimerval timer{};
          timer.it_value.tv_usec = 500 + (round * 7919) % 4000;
          setitimer(ITIMER_REAL, &timer, nullptr);
        }
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
      auto printer = Printer::open({roll_, path_}, &error);
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
