// Helpers of the printer model's tests: commands written as the programs
// send them, and the sample scenarios of the programs.
#pragma once

#include "engine/inside.h"
#include "engine/printer.h"
#include "engine/printer_status.h"
#include "engine/text_checks.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace talmer::testing {

/// A request with its ParamList ("key,value" lines joined by line feeds) and
/// pushed parameters.
struct Step {
  std::string name;
  std::string paramList;
  Fields pushed;
};

/// The command as the printer receives it: the ParamList taken apart by the
/// library's own parser, then the pushed parameters.
inline Command toCommand(const Step &step) {
  Command command{step.name, {}};
  if (!step.paramList.empty()) {
    std::optional<Fields> params = parseParamList(step.paramList);
    EXPECT_TRUE(params) << step.name << ": malformed ParamList " << step.paramList;
    if (params) command.params = std::move(*params);
  }
  for (const Field &f : step.pushed)
    command.params.push_back(f);
  return command;
}

/// The options of a printer with a paper roll file and a memory file (each
/// may be empty: none).
inline PrinterOptions optionsWith(std::string paperPath, std::string statePath) {
  PrinterOptions options;
  options.paperPath = std::move(paperPath);
  options.statePath = std::move(statePath);
  return options;
}

/// The status of a printer whose paper and cover no test changes.
inline const PrinterStatus &readyStatus() {
  static const PrinterStatus ready;
  return ready;
}

/// A file name of the running test's own, so that tests may run in parallel.
inline std::string tempPath(const std::string &what) {
  const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
  return ::testing::TempDir() + test->test_suite_name() + "." + test->name() + "." +
         what;
}

/// The local time that the printer reads, fixed.
inline void fixLocalTime(const char *time) {
  setenv("TALMER_SIM_LOCALTIME", time, 1);
}

// Code page 1250 texts of the programs.
inline const std::string kAfternoon = "popo\xB3udniowy"; // popołudniowy
inline const std::string kCash = "got\xF3wka";           // gotówka
inline const std::string kEwa = "Ewa Przyk\xB3"
                                "adowa"; // Ewa Przykładowa
inline const std::string kRoll = "Bu\xB3"
                                 "ka Standardowa"; // Bułka Standardowa
inline const std::string kFormText = "12345#####12345#####12345#####12345#####\n" +
                                     std::string(40, '#') + "\n" +
                                     std::string(40, '#') + "\n" + std::string(40, '#');

inline std::vector<Step> formSteps(int number, int lines) {
  const std::string fn = "fn," + std::to_string(number);
  std::vector<Step> steps{{"formstart", fn + "\nfh,0", {}}};
  for (int n = 0; n < lines; ++n)
    steps.push_back(
        {"formline", fn + "\nfl," + std::to_string(n), {{"s1", kFormText}}});
  steps.push_back({"formend", fn, {}});
  return steps;
}

// The receipts of the sales entries.
inline const std::vector<Step> kSimpleSale = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,99999", {}},
    {"trend", "to,99999", {}}};
inline const std::vector<Step> kSaleWithDiscount = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,10000", {}},
    {"trdiscntbill", "na," + kAfternoon + "\nrd,1\nrp,1000", {}},
    {"trend", "to,9000", {}}};
inline const std::vector<Step> kSaleWithLineDiscount = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,9999999\nrd,1\nrn,rabacik\nrw,099", {}},
    {"trend", "to,9999900", {}}};
inline const std::vector<Step> kSaleWithCurrency = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,10000", {}},
    {"trpaymentcurr", "wc,5000\nra,23000\nna,EURO\nsb,EUR", {}},
    {"trend", "to,10000\nfp,11500", {}}};
inline const std::vector<Step> kSaleWithCard = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,9999999", {}},
    {"trpayment", "ty,2\nwa,10000000\nna,VISA", {}},
    {"trend", "to,9999999\nfp,10000000", {}}};
inline const std::vector<Step> kSaleWithFooter = {
    {"trinit", "bm,0", {}},
    {"trline", "na,Towar A\nvt,0\npr,9999999", {}},
    {"trend", "to,9999999\nfe,0", {}},
    {"trftrend", "", {}}};
inline const std::vector<Step> kPackaging = {
    {"trpackinit", "", {}},
    {"trpack", "na,1\nne,1\npr,100\nil,1\nwa,100", {}},
    {"trpack", "na,2\nne,0\npr,100\nil,2\nwa,200", {}},
    {"trend", "op,200\nom,100", {}}};
inline const std::vector<Step> kInvoice = {
    {"trfvinit",
     "nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\npt," + kCash + "\nps,0",
     {}},
    {"trline", "na,Towar A\nvt,0\npr,10000", {}},
    {"trend", "to,10000", {}}};
inline const std::vector<Step> kInvoiceWithPersons = {
    {"trfvinit",
     "nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\npt," + kCash +
         "\nsc,Jan Wzorowy\nss," + kEwa + "\nps,1",
     {}},
    {"trline", "na,Towar A\nvt,0\npr,10000", {}},
    {"trend", "to,10000", {}}};
inline const std::vector<Step> kPlainReceipt = {
    {"trinit", "", {{"bm", "1"}}},
    {"trline", "na," + kRoll + "\nvt,0\npr,35", {}},
    {"trpayment", "ty,0\nre,0\nwa,35", {}},
    {"trend", "to,35\nfp,35", {}}};
inline const Step kFooterLinesStep = {
    "ftrinfoset",
    "lb,0",
    {{"tx", "&w&cZapraszamy ponownie\n&w&cna wielkie zakupy\n&cPA PA PA"}}};
inline const Step kHeader = {
    "hdrset", "", {{"tx", "&cDrukarka fiskalna\n&w&cTALMER ORBA XT 2"}}};
inline const Step kBarcode = {"ftrcfg", "bc,1234567890", {}};
inline const Step kDailyReport = {"dailyrep", "", {}};
inline const Step kVatRates = {"vatset", "va,22\nvb,7\nvc,0\nvd,3\nvg,100", {}};

} // namespace talmer::testing
