// The paper roll, golden: what a person reads for a receipt with a discount,
// a currency payment, an invoice and a daily report.
#include "engine/printer.h"
#include "engine/printer_test_support.h"
#include "engine/status_codes.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace talmer {
namespace {

using namespace talmer::testing;

class PaperRoll : public ::testing::Test {
protected:
  void SetUp() override {
    fixLocalTime("2010-01-01 16:09:30");
    path_ = tempPath("roll");
    std::remove(path_.c_str());
    std::int32_t error = -1;
    printer_ = Printer::open(optionsWith(path_, ""), status_, &error);
    ASSERT_EQ(error, kOk);
  }
  void TearDown() override { std::remove(path_.c_str()); }

  // What the steps add to the roll.
  std::string print(const std::vector<Step> &steps) {
    const std::string before = roll();
    for (const Step &step : steps)
      EXPECT_EQ(printer_->execute(toCommand(step)).status, kOk) << step.name;
    return roll().substr(before.size());
  }

  std::string roll() const {
    std::ifstream in(path_, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::string path_;
  PrinterStatus status_;
  std::unique_ptr<Printer> printer_;
};

TEST_F(PaperRoll, ReceiptWithBillDiscountHeaderFooterAndBarcode) {
  print({kHeader, kFooterLinesStep, kBarcode});
  EXPECT_EQ(print(kSaleWithDiscount), R"(           Drukarka fiskalna
    T A L M E R   O R B A   X T   2
----------------------------------------
            PARAGON FISKALNY
----------------------------------------
Towar A
  1 x 100,00                    100,00 A
Podsuma                           100,00
popołudniowy 10,00%               -10,00
----------------------------------------
Sprzedaż opodatk. A                90,00
Kwota PTU A 23%                    16,83
SUMA PTU                           16,83
----------------------------------------
SUMA PLN                           90,00
Gotówka                            90,00
----------------------------------------
Paragon nr 1            2010-01-01 16:09
 Z a p r a s z a m y   p o n o w n i e
   n a   w i e l k i e   z a k u p y
                PA PA PA
        ||||| ||| ||| ||| ||| ||
               1234567890

)");
}

TEST_F(PaperRoll, ReceiptPaidInAForeignCurrency) {
  EXPECT_EQ(print(kSaleWithCurrency), R"(             SKLEP TESTOWY
           NIP 000-000-00-00
----------------------------------------
            PARAGON FISKALNY
----------------------------------------
Towar A
  1 x 100,00                    100,00 A
----------------------------------------
Sprzedaż opodatk. A               100,00
Kwota PTU A 23%                    18,70
SUMA PTU                           18,70
----------------------------------------
SUMA PLN                          100,00
Waluta EURO                    50,00 EUR
  kurs 2,3000                     115,00
Reszta                             15,00
----------------------------------------
Paragon nr 1            2010-01-01 16:09

)");
}

TEST_F(PaperRoll, InvoiceWithPersons) {
  EXPECT_EQ(print(kInvoiceWithPersons), R"(             SKLEP TESTOWY
           NIP 000-000-00-00
----------------------------------------
           FAKTURA VAT nr 102
----------------------------------------
Nabywca: HURTOWNIA
NIP: 123-456-78-90
Termin płatności:             2008-11-10
Forma płatności:                 gotówka
----------------------------------------
Towar A
  1 x 100,00                    100,00 A
----------------------------------------
Sprzedaż opodatk. A               100,00
Kwota PTU A 23%                    18,70
SUMA PTU                           18,70
----------------------------------------
SUMA PLN                          100,00
Gotówka                           100,00
Wystawił: Jan Wzorowy
Odebrał: Ewa Przykładowa
----------------------------------------
Faktura nr 102          2010-01-01 16:09

)");
}

TEST_F(PaperRoll, FooterLaterCancelledReceiptAndDailyReport) {
  print({kHeader, kFooterLinesStep, kBarcode, kSaleWithDiscount[0],
         kSaleWithDiscount[1], kSaleWithDiscount[2], kSaleWithDiscount[3],
         kSaleWithCurrency[0], kSaleWithCurrency[1], kSaleWithCurrency[2],
         kSaleWithCurrency[3]});
  print(kInvoiceWithPersons);
  EXPECT_EQ(print({kSaleWithFooter[0],
                   kSaleWithFooter[1],
                   kSaleWithFooter[2],
                   kSaleWithFooter[3],
                   kSimpleSale[0],
                   kSimpleSale[1],
                   {"prncancel", "", {}},
                   kDailyReport}),
            R"(           Drukarka fiskalna
    T A L M E R   O R B A   X T   2
----------------------------------------
            PARAGON FISKALNY
----------------------------------------
Towar A
  1 x 99999,99                99999,99 A
----------------------------------------
Sprzedaż opodatk. A             99999,99
Kwota PTU A 23%                 18699,19
SUMA PTU                        18699,19
----------------------------------------
SUMA PLN                        99999,99
Gotówka                         99999,99
----------------------------------------
Paragon nr 3            2010-01-01 16:09
 Z a p r a s z a m y   p o n o w n i e
   n a   w i e l k i e   z a k u p y
                PA PA PA
        ||||| ||| ||| ||| ||| ||
               1234567890

           Drukarka fiskalna
    T A L M E R   O R B A   X T   2
----------------------------------------
            PARAGON FISKALNY
----------------------------------------
Towar A
  1 x 999,99                    999,99 A
----------------------------------------
       *** PARAGON ANULOWANY ***

           Drukarka fiskalna
    T A L M E R   O R B A   X T   2
----------------------------------------
         RAPORT DOBOWY FISKALNY
----------------------------------------
Sprzedaż A 23%                 100289,99
Kwota PTU A                     18753,42
Sprzedaż B 8%                       0,00
Kwota PTU B                         0,00
Sprzedaż C 5%                       0,00
Kwota PTU C                         0,00
Sprzedaż D 0%                       0,00
Kwota PTU D                         0,00
Sprzedaż G zw.                      0,00
SUMA PTU                        18753,42
SPRZEDAŻ RAZEM                 100289,99
Liczba paragonów                       3
Liczba faktur                          1
Paragony anulowane                     1
----------------------------------------
Raport nr 1             2010-01-01 16:09

)");
}

TEST_F(PaperRoll, BillDiscountSharesLeaveNoRateBelowZero) {
  struct Shared {
    std::vector<std::pair<int, int>> lines; ///< rate index, price
    std::string discount;                   ///< trdiscntbill's ParamList
    long long total;
  };
  const std::vector<Shared> cases = {
      {{{0, 3}, {1, 3}, {2, 3}}, "rd,1\nrw,8", 1},
      {{{0, 2}, {1, 2}, {2, 2}, {3, 2}, {6, 2}}, "rd,1\nrw,9", 1},
      {{{0, 333}, {1, 333}, {2, 334}}, "rd,1\nrp,9990", 1},
      {{{0, 5}, {6, 99999}}, "rd,1\nrw,99999", 5},
      {{{0, 1}, {1, 1}, {2, 1}}, "rd,0\nrw,1", 4},
  };
  const std::regex share("Sprzedaż opodatk. [A-G] +(-?)([0-9]+),([0-9]{2})");
  for (const Shared &c : cases) {
    SCOPED_TRACE(c.discount);
    std::vector<Step> steps = {{"trinit", "bm,0", {}}};
    for (const auto &[rate, price] : c.lines)
      steps.push_back(
          {"trline",
           "na,A\nvt," + std::to_string(rate) + "\npr," + std::to_string(price),
           {}});
    steps.push_back({"trdiscntbill", c.discount, {}});
    steps.push_back({"trend", "to," + std::to_string(c.total), {}});
    std::istringstream printed(print(steps));
    // Each rate's share on the receipt: none below zero, and they add up.
    std::string line;
    std::smatch match;
    long long sum = 0;
    while (std::getline(printed, line)) {
      if (!std::regex_match(line, match, share)) continue;
      EXPECT_EQ(match[1], "") << line;
      const long long amount = std::stoll(match[2]) * 100 + std::stoll(match[3]);
      sum += match[1] == "-" ? -amount : amount;
    }
    EXPECT_EQ(sum, c.total);
  }
}

TEST_F(PaperRoll, FeedsPrintBlankLinesAndRefusalsPrintNothing) {
  EXPECT_EQ(print({{"papfeed", "ln,3", {}}}), "\n\n\n");
  EXPECT_NE(printer_->execute(toCommand({"trline", "na,A\nvt,0\npr,1", {}})).status,
            kOk);
  status_.setPaperOut(true);
  EXPECT_NE(printer_->execute(toCommand(kSimpleSale[0])).status, kOk);
  EXPECT_EQ(roll(), "\n\n\n");
}

} // namespace
} // namespace talmer
