// The fiscal rules as tables: every sample scenario accepted, every broken
// variant refused with its code and "cm".
#include "engine/printer.h"
#include "engine/printer_model.h"
#include "engine/printer_test_support.h"
#include "engine/status_codes.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>

namespace talmer {
namespace {

using testing::Step;
using namespace talmer::testing;

std::unique_ptr<Printer> openPrinter(const PrinterStatus &status = readyStatus()) {
  std::int32_t error = -1;
  auto printer = Printer::open({}, status, &error);
  EXPECT_EQ(error, kOk);
  return printer;
}

std::string field(const Outcome &outcome, const std::string &name) {
  for (const Field &f : outcome.fields)
    if (f.name == name) return f.value;
  return "(none)";
}

void expectAccepted(Printer &printer, const std::vector<Step> &steps) {
  for (const Step &step : steps) {
    const Outcome outcome = printer.execute(toCommand(step));
    EXPECT_EQ(outcome.status, kOk) << step.name << " " << step.paramList;
  }
}

std::vector<Step> join(std::initializer_list<std::vector<Step>> parts) {
  std::vector<Step> all;
  for (const auto &part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

class PrinterRules : public ::testing::Test {
protected:
  void SetUp() override { fixLocalTime("2010-01-01 16:09:30"); }
};

TEST_F(PrinterRules, KnowsEveryRequestThatTheProgramsSend) {
  for (const char *name : {"trinit",       "trline",        "trend",
                           "trdiscntbill", "trpaymentcurr", "trpayment",
                           "trftrend",     "trpackinit",    "trpack",
                           "trfvinit",     "formstart",     "formline",
                           "formend",      "ftrcfg",        "ftrinfoset",
                           "hdrset",       "dailyrep",      "periodicrepbydates",
                           "vatset",       "rtcset",        "papfeed",
                           "prncancel",    "rtcget",        "vatget"})
    EXPECT_TRUE(Printer::knowsRequest(name)) << name;
  EXPECT_FALSE(Printer::knowsRequest("trlinex"));
  EXPECT_FALSE(Printer::knowsRequest(""));
}

TEST_F(PrinterRules, AcceptsEverySampleScenarioOnItsOwn) {
  const std::vector<std::pair<const char *, std::vector<Step>>> scenarios = {
      {"daily report", {kDailyReport}},
      {"barcode", {kBarcode}},
      {"form 25", formSteps(25, 8)},
      {"packaging", kPackaging},
      {"invoice", kInvoice},
      {"invoice with persons", kInvoiceWithPersons},
      {"simple sale", kSimpleSale},
      {"bill discount", kSaleWithDiscount},
      {"line discount", kSaleWithLineDiscount},
      {"currency payment", kSaleWithCurrency},
      {"card payment", kSaleWithCard},
      {"footer", kSaleWithFooter},
      {"footer lines", {kFooterLinesStep}},
      {"barcode and sale", join({{kBarcode}, kSimpleSale})},
      {"header", {kHeader}},
      {"periodic report",
       {{"periodicrepbydates", "fd,2010-01-01\ntd,2010-01-31\nsu,0", {}}}},
      {"VAT rates", {kVatRates}},
      {"clock", {{"rtcset", "", {{"da", "2010-01-01,16:09"}}}}},
      {"form 32", formSteps(32, 18)},
      {"request_results receipt", kPlainReceipt},
      {"queries", {{"rtcget", "", {}}, {"vatget", "", {}}, {"prncancel", "", {}}}},
  };
  for (const auto &[name, steps] : scenarios) {
    SCOPED_TRACE(name);
    auto printer = openPrinter();
    expectAccepted(*printer, steps);
  }
}

TEST_F(PrinterRules, AcceptsTheWholeMenuAndRequestResultsInARow) {
  auto printer = openPrinter();
  const std::vector<Step> clock = {{"rtcset", "", {{"da", "2010-01-01,16:09"}}}};
  std::vector<Step> feeds(50, Step{"papfeed", "ln,1", {}});
  expectAccepted(
      *printer,
      join({{kDailyReport, kBarcode},
            formSteps(25, 8),
            kPackaging,
            kInvoice,
            kInvoiceWithPersons,
            kSimpleSale,
            kSaleWithDiscount,
            kSaleWithLineDiscount,
            kSaleWithCurrency,
            kSaleWithCard,
            kSaleWithFooter,
            {kFooterLinesStep, kBarcode},
            kSimpleSale,
            {kHeader},
            {{"periodicrepbydates", "fd,2010-01-01\ntd,2010-01-31\nsu,0", {}}},
            {kDailyReport, kVatRates}, // new rates only for a new day
            clock,
            formSteps(32, 18),
            feeds,
            {{"rtcget", "", {}}, {"vatget", "", {}}},
            kPlainReceipt,
            {kDailyReport}}));
}

struct Broken {
  const char *what;
  std::vector<Step> before; // accepted
  Step refused;
  std::int32_t code;
};

TEST_F(PrinterRules, RefusesBrokenVariantsWithTheirCodes) {
  const std::vector<Step> open = {{"trinit", "bm,0", {}}};
  const std::vector<Step> line = {{"trinit", "bm,0", {}},
                                  {"trline", "na,Towar A\nvt,0\npr,10000", {}}};
  const std::vector<Step> form25 = {{"formstart", "fn,25\nfh,0", {}}};
  const std::vector<Step> packs = {kPackaging[0], kPackaging[1], kPackaging[2]};
  const std::vector<Broken> cases = {
      {"line without a receipt", {}, kSimpleSale[1], kNoTransaction},
      {"line after the end", kSimpleSale, kSimpleSale[1], kNoTransaction},
      {"second trinit", open, {"trinit", "bm,0", {}}, kTransactionOpen},
      {"trinit without bm", {}, {"trinit", "", {}}, kMissingParameter},
      {"trinit bm 2", {}, {"trinit", "bm,2", {}}, kOutOfRange},
      {"unknown key", open, {"trline", "na,A\nvt,0\npr,1\nxx,1", {}}, kUnknownKey},
      {"wrong total", line, {"trend", "to,9999", {}}, kWrongTotal},
      {"total without discount",
       join({line, {kSaleWithDiscount[2]}}),
       {"trend", "to,10000", {}},
       kWrongTotal},
      {"line discount ignored", open, kSaleWithLineDiscount[1], kOk},
      {"trend without to", line, {"trend", "fp,10000", {}}, kMissingParameter},
      {"trend without lines", open, {"trend", "to,0", {}}, kWrongSequence},
      {"trend without receipt", {}, {"trend", "to,0", {}}, kNoTransaction},
      {"paid less", line, {"trend", "to,10000\nfp,9999", {}}, kPaymentTooLow},
      {"fp not the payments",
       join({line, {{"trpayment", "ty,0\nwa,10000", {}}}}),
       {"trend", "to,10000\nfp,20000", {}},
       kPaymentMismatch},
      {"payments too low",
       join({line, {{"trpayment", "ty,0\nwa,5000", {}}}}),
       {"trend", "to,10000", {}},
       kPaymentTooLow},
      {"price not a number", open, {"trline", "na,A\nvt,0\npr,12a", {}}, kBadNumber},
      {"negative price", open, {"trline", "na,A\nvt,0\npr,-5", {}}, kBadNumber},
      {"price zero", open, {"trline", "na,A\nvt,0\npr,0", {}}, kOutOfRange},
      {"price too high",
       open,
       {"trline", "na,A\nvt,0\npr,1000000000", {}},
       kOutOfRange},
      {"line value too high",
       open,
       {"trline", "na,A\nvt,0\npr,999999999\nil,2", {}},
       kOutOfRange},
      {"line value nothing",
       open,
       {"trline", "na,A\nvt,0\npr,1\nil,0.001", {}},
       kOutOfRange},
      {"receipt over the limit",
       join({open, {{"trline", "na,A\nvt,0\npr,999999999", {}}}}),
       {"trline", "na,A\nvt,0\npr,1", {}},
       kOutOfRange},
      {"no name", open, {"trline", "vt,0\npr,1", {}}, kMissingParameter},
      {"name too long",
       open,
       {"trline", "na," + std::string(41, 'x') + "\nvt,0\npr,1", {}},
       kTextTooLong},
      {"unknown rate", open, {"trline", "na,A\nvt,7\npr,1", {}}, kOutOfRange},
      {"inactive rate", open, {"trline", "na,A\nvt,4\npr,1", {}}, kInactiveVatRate},
      {"line value wrong",
       open,
       {"trline", "na,A\nvt,0\npr,100\nil,2\nwa,100", {}},
       kWrongTotal},
      {"line discount too big",
       open,
       {"trline", "na,A\nvt,0\npr,100\nrd,1\nrw,100", {}},
       kBadDiscount},
      {"discount without rd",
       open,
       {"trline", "na,A\nvt,0\npr,100\nrw,10", {}},
       kMissingParameter},
      {"discount both ways",
       line,
       {"trdiscntbill", "rd,1\nrp,10\nrw,10", {}},
       kBadDiscount},
      {"bill discount without receipt", {}, kSaleWithDiscount[2], kNoTransaction},
      {"bill discount on nothing", open, kSaleWithDiscount[2], kBadDiscount},
      {"percent 100", line, {"trdiscntbill", "rd,1\nrp,10000", {}}, kOutOfRange},
      {"payment type 9", line, {"trpayment", "ty,9\nwa,1", {}}, kOutOfRange},
      {"payment without receipt", {}, kSaleWithCard[2], kNoTransaction},
      {"currency without rate",
       line,
       {"trpaymentcurr", "wc,5000\nna,EURO", {}},
       kMissingParameter},
      {"footer without fe,0", kSimpleSale, {"trftrend", "", {}}, kFooterAfterEnd},
      {"trinit while footer waits",
       {kSaleWithFooter[0], kSaleWithFooter[1], kSaleWithFooter[2]},
       {"trinit", "bm,0", {}},
       kTransactionOpen},
      {"packaging sums swapped",
       packs,
       {"trend", "op,100\nom,200", {}},
       kWrongPackagingSums},
      {"packaging without op", packs, {"trend", "om,100", {}}, kMissingParameter},
      {"packaging ended with to", packs, {"trend", "to,100", {}}, kUnknownKey},
      {"trpack without trpackinit", {}, kPackaging[1], kNoTransaction},
      {"trpack in a receipt", open, kPackaging[1], kWrongSequence},
      {"trpack ne 2",
       {kPackaging[0]},
       {"trpack", "na,1\nne,2\npr,100", {}},
       kOutOfRange},
      {"trpack value wrong",
       {kPackaging[0]},
       {"trpack", "na,1\nne,0\npr,100\nil,2\nwa,100", {}},
       kWrongTotal},
      {"trline in packaging", {kPackaging[0]}, kSimpleSale[1], kWrongSequence},
      {"invoice bad NIP", {}, {"trfvinit", "nb,1\nni,12-34\nna,X", {}}, kBadTaxNumber},
      {"invoice bad date",
       {},
       {"trfvinit", "nb,1\nni,1234567890\nna,X\npd,2008-02-30", {}},
       kBadDate},
      {"invoice persons missing",
       {},
       {"trfvinit", "nb,1\nni,1234567890\nna,X\nps,1", {}},
       kMissingParameter},
      {"invoice in a receipt", open, kInvoice[0], kTransactionOpen},
      {"form 25 line 99",
       form25,
       {"formline", "fn,25\nfl,99", {{"s1", "x"}}},
       kFormLineOutOfRange},
      {"form 25 line 8",
       form25,
       {"formline", "fn,25\nfl,8", {{"s1", "x"}}},
       kFormLineOutOfRange},
      {"form 32 line 18",
       {{"formstart", "fn,32\nfh,0", {}}},
       {"formline", "fn,32\nfl,18", {{"s1", "x"}}},
       kFormLineOutOfRange},
      {"form line twice",
       join({form25, {{"formline", "fn,25\nfl,0", {}}}}),
       {"formline", "fn,25\nfl,0", {}},
       kFormLineOrder},
      {"form 26", {}, {"formstart", "fn,26\nfh,0", {}}, kUnknownForm},
      {"form line of another form",
       form25,
       {"formline", "fn,32\nfl,0", {}},
       kWrongSequence},
      {"form line without formstart",
       {},
       {"formline", "fn,25\nfl,0", {}},
       kNoTransaction},
      {"form text of five lines",
       form25,
       {"formline", "fn,25\nfl,0", {{"s1", "a\nb\nc\nd\ne"}}},
       kTextTooLong},
      {"form text line of 41",
       form25,
       {"formline", "fn,25\nfl,0", {{"s1", std::string(41, '#')}}},
       kTextTooLong},
      {"formend without form", {}, {"formend", "fn,25", {}}, kNoTransaction},
      {"receipt inside a form", form25, {"trinit", "bm,0", {}}, kTransactionOpen},
      {"barcode letters", {}, {"ftrcfg", "bc,12AB", {}}, kBadNumber},
      {"barcode missing", {}, {"ftrcfg", "", {}}, kMissingParameter},
      {"footer line 6", {}, {"ftrinfoset", "lb,6", {{"tx", "x"}}}, kOutOfRange},
      {"footer too many lines",
       {},
       {"ftrinfoset", "lb,4", {{"tx", "a\nb\nc"}}},
       kOutOfRange},
      {"footer too wide",
       {},
       {"ftrinfoset", "lb,0", {{"tx", "&w" + std::string(21, 'x')}}},
       kTextTooLong},
      {"footer without text", {}, {"ftrinfoset", "lb,0", {}}, kMissingParameter},
      {"header of seven lines",
       {},
       {"hdrset", "", {{"tx", "1\n2\n3\n4\n5\n6\n7"}}},
       kOutOfRange},
      {"header during a receipt", open, kHeader, kTransactionOpen},
      {"daily report with receipt open", line, kDailyReport, kReportWithOpenReceipt},
      {"periodic reversed",
       {},
       {"periodicrepbydates", "fd,2010-01-31\ntd,2010-01-01\nsu,0", {}},
       kReversedDates},
      {"periodic not dates",
       {},
       {"periodicrepbydates", "fd,abc\ntd,abc\nsu,0", {}},
       kBadDate},
      {"periodic 31 February",
       {},
       {"periodicrepbydates", "fd,2010-02-31\ntd,2010-03-01\nsu,0", {}},
       kBadDate},
      {"periodic without td",
       {},
       {"periodicrepbydates", "fd,2010-01-01", {}},
       kMissingParameter},
      {"periodic with receipt open",
       line,
       {"periodicrepbydates", "fd,2010-01-01\ntd,2010-01-31", {}},
       kReportWithOpenReceipt},
      {"VAT rate 102", {}, {"vatset", "va,102", {}}, kOutOfRange},
      {"VAT without rates", {}, {"vatset", "", {}}, kMissingParameter},
      {"VAT during a receipt", open, kVatRates, kTransactionOpen},
      {"VAT after a sale", kSimpleSale, kVatRates, kVatChangeWithSales},
      {"VAT after an invoice", kInvoice, kVatRates, kVatChangeWithSales},
      {"VAT after a cancelled receipt",
       {kSimpleSale[0], kSimpleSale[1], {"prncancel", "", {}}},
       kVatRates,
       kVatChangeWithSales},
      {"VAT after the daily report", join({kSimpleSale, {kDailyReport}}), kVatRates,
       kOk},
      {"VAT after packaging", kPackaging, kVatRates, kOk},
      {"clock without minutes",
       {},
       {"rtcset", "", {{"da", "2010-01-01,16"}}},
       kBadDate},
      {"clock 24:00", {}, {"rtcset", "", {{"da", "2010-01-01,24:00"}}}, kBadDate},
      {"clock with seconds",
       {},
       {"rtcset", "", {{"da", "2010-01-01,16:09:00"}}},
       kBadDate},
      {"clock text", {}, {"rtcset", "", {{"da", "yesterday"}}}, kBadDate},
      {"clock missing", {}, {"rtcset", "", {}}, kMissingParameter},
      {"feed 0", {}, {"papfeed", "ln,0", {}}, kOutOfRange},
      {"feed 51", {}, {"papfeed", "ln,51", {}}, kOutOfRange},
      {"feed 100", {}, {"papfeed", "ln,100", {}}, kOutOfRange},
      {"feed x", {}, {"papfeed", "ln,x", {}}, kBadNumber},
      {"feed missing", {}, {"papfeed", "", {}}, kMissingParameter},
  };
  for (const Broken &c : cases) {
    SCOPED_TRACE(c.what);
    auto printer = openPrinter();
    expectAccepted(*printer, c.before);
    const Outcome outcome = printer->execute(toCommand(c.refused));
    EXPECT_EQ(outcome.status, c.code);
    if (c.code != kOk) {
      EXPECT_EQ(field(outcome, "cm"), c.refused.name);
      EXPECT_NE(describeStatus(outcome.status), nullptr);
    }
  }
}

TEST_F(PrinterRules, ARefusedStepLeavesTheReceiptAsItWas) {
  auto printer = openPrinter();
  expectAccepted(*printer, {kSaleWithDiscount[0], kSaleWithDiscount[1]});
  EXPECT_EQ(printer->execute(toCommand({"trline", "na,A\nvt,4\npr,1", {}})).status,
            kInactiveVatRate);
  expectAccepted(*printer, {kSaleWithDiscount[2], kSaleWithDiscount[3]});
}

TEST_F(PrinterRules, CancelIsAlwaysAcceptedAndClosesWhateverIsOpen) {
  const std::vector<std::vector<Step>> opened = {
      {},
      {kSimpleSale[0], kSimpleSale[1]},
      {kInvoice[0]},
      {kPackaging[0]},
      {{"formstart", "fn,32\nfh,0", {}}},
      {kSaleWithFooter[0], kSaleWithFooter[1], kSaleWithFooter[2]}};
  for (const auto &steps : opened) {
    auto printer = openPrinter();
    expectAccepted(*printer, steps);
    expectAccepted(*printer, {{"prncancel", "", {}}, {"prncancel", "", {}}});
    expectAccepted(*printer, kSimpleSale);
  }
}

TEST_F(PrinterRules, ClockFollowsTheLocalTimeAndKeepsItsSetting) {
  auto printer = openPrinter();
  EXPECT_EQ(field(printer->execute(toCommand({"rtcget", "", {}})), "da"),
            "2010-01-01,16:09");
  expectAccepted(*printer, {{"rtcset", "", {{"da", "2011-12-31,23:59"}}}});
  EXPECT_EQ(field(printer->execute(toCommand({"rtcget", "", {}})), "da"),
            "2011-12-31,23:59");
  fixLocalTime("2010-01-01 16:10:29"); // the printer's clock started at 23:59:00
  EXPECT_EQ(field(printer->execute(toCommand({"rtcget", "", {}})), "da"),
            "2011-12-31,23:59");
  fixLocalTime("2010-01-01 16:10:30");
  EXPECT_EQ(field(printer->execute(toCommand({"rtcget", "", {}})), "da"),
            "2012-01-01,00:00");
  // At most about 200 years from the computer's clock, either way.
  fixLocalTime("1970-01-01 00:00:00");
  expectAccepted(*printer, {{"rtcset", "", {{"da", "2099-12-31,23:59"}}}});
  fixLocalTime("1850-01-01 00:00:00");
  EXPECT_EQ(
      printer->execute(toCommand({"rtcset", "", {{"da", "2099-12-31,23:59"}}})).status,
      kBadDate);
}

TEST_F(PrinterRules, VatRatesAnswerInOrderAndChange) {
  auto printer = openPrinter();
  auto rates = [&] {
    std::string all;
    for (const Field &f : printer->execute(toCommand({"vatget", "", {}})).fields)
      all += f.name + "=" + f.value + " ";
    return all;
  };
  EXPECT_EQ(rates(), "va=23 vb=8 vc=5 vd=0 ve=101 vf=101 vg=100 ");
  expectAccepted(*printer, {kVatRates});
  EXPECT_EQ(rates(), "va=22 vb=7 vc=0 vd=3 ve=101 vf=101 vg=100 ");
  EXPECT_EQ(printer->execute(toCommand({"trline", "na,A\nvt,5\npr,1", {}})).status,
            kNoTransaction);
}

// "1234,56" as grosze.
long long grosze(const std::string &money) {
  const std::size_t comma = money.find(',');
  return std::stoll(money.substr(0, comma)) * 100 + std::stoll(money.substr(comma + 1));
}

TEST_F(PrinterRules, VatRatesChangeOnlyAfterTheDailyReportAndReportsAgree) {
  const std::string rollPath = tempPath("roll");
  std::remove(rollPath.c_str());
  std::int32_t error = -1;
  auto printer = Printer::open(optionsWith(rollPath, ""), readyStatus(), &error);
  ASSERT_EQ(error, kOk);
  expectAccepted(*printer, kSimpleSale);
  const Outcome refused = printer->execute(toCommand(kVatRates));
  EXPECT_EQ(refused.status, kVatChangeWithSales);
  EXPECT_EQ(field(refused, "cm"), "vatset");
  EXPECT_EQ(field(printer->execute(toCommand({"vatget", "", {}})), "va"), "23");
  expectAccepted(*printer, {kDailyReport, kVatRates});
  EXPECT_EQ(field(printer->execute(toCommand({"vatget", "", {}})), "va"), "22");
  expectAccepted(*printer, join({kSimpleSale, kInvoice, {kDailyReport}}));

  // Each report's tax per rate is the tax at the rate it prints.
  std::ifstream in(rollPath, std::ios::binary);
  const std::regex sales("Sprzedaż ([A-G]) ([0-9]+)% +([0-9]+,[0-9]{2})");
  const std::regex tax("Kwota PTU ([A-G]) +([0-9]+,[0-9]{2})");
  std::string line;
  std::smatch match;
  std::vector<std::string> checked;
  while (std::getline(in, line)) {
    if (!std::regex_match(line, match, sales)) continue;
    const std::string letter = match[1];
    const int rate = std::stoi(match[2]);
    const long long gross = grosze(match[3]);
    ASSERT_TRUE(std::getline(in, line));
    ASSERT_TRUE(std::regex_match(line, match, tax)) << line;
    EXPECT_EQ(match[1], letter);
    EXPECT_EQ(grosze(match[2]), vatOf(gross, rate)) << letter << " " << rate;
    if (gross != 0) checked.push_back(letter + " " + std::to_string(rate));
  }
  EXPECT_EQ(checked, (std::vector<std::string>{"A 23", "A 22"}));
  std::remove(rollPath.c_str());
}

TEST_F(PrinterRules, PaperOutAndCoverOpenStopPrintingAndShowInTheStatus) {
  PrinterStatus status;
  auto printer = openPrinter(status);
  EXPECT_EQ(status.reported().global, 0);
  EXPECT_EQ(status.reported().printer, 0);
  expectAccepted(*printer, {kSimpleSale[0]});

  status.setPaperOut(true);
  EXPECT_EQ(status.reported().global, 1);
  EXPECT_EQ(status.reported().printer, 1);
  Outcome refused = printer->execute(toCommand(kSimpleSale[1]));
  EXPECT_EQ(refused.status, kPaperOut);
  EXPECT_EQ(field(refused, "cm"), "trline");
  status.setCoverOpen(true);
  EXPECT_EQ(status.reported().printer, 3);
  status.setPaperOut(false);
  EXPECT_EQ(status.reported().printer, 2);
  EXPECT_EQ(printer->execute(toCommand({"papfeed", "ln,1", {}})).status, kCoverOpen);
  // Queries and settings don't need paper.
  expectAccepted(*printer, {{"rtcget", "", {}}, {"vatget", "", {}}, kFooterLinesStep});
  status.setCoverOpen(false);
  EXPECT_EQ(status.reported().global, 0);
  expectAccepted(*printer, {kSimpleSale[1], kSimpleSale[2]});
}

// A scripted pair says what the printer reports, not whether it prints; a
// change of the paper or the cover shows the printer's own bits again.
TEST_F(PrinterRules, AScriptedPairIsReportedButDoesNotStopPrinting) {
  PrinterStatus status;
  auto printer = openPrinter(status);
  status.setScriptedPair({1, 1});
  EXPECT_EQ(status.reported().printer, 1);
  expectAccepted(*printer, kSimpleSale);
  status.setCoverOpen(false);
  EXPECT_EQ(status.reported().global, 0);
  EXPECT_EQ(status.reported().printer, 0);
}

TEST_F(PrinterRules, UnknownRequestIsRefusedWithItsName) {
  auto printer = openPrinter();
  const Outcome outcome = printer->execute({"nosuch", {}});
  EXPECT_EQ(outcome.status, kUnknownCommand);
  EXPECT_EQ(field(outcome, "cm"), "nosuch");
}

TEST_F(PrinterRules, EveryCodeHasAPolishDescription) {
  for (std::int32_t code = 1; code < 100; ++code) {
    if (describeStatus(code) != nullptr) {
      EXPECT_GT(std::string(describeStatus(code)).size(), 5u);
    }
  }
  EXPECT_NE(describeStatus(kPaymentMismatch), nullptr);
  EXPECT_NE(describeStatus(kBadTaxNumber), nullptr);
  EXPECT_EQ(describeStatus(kOk), nullptr);
}

} // namespace
} // namespace talmer
