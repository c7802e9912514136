#include "fiscal_menu/scenarios.h"

#include "fiscal_menu/runner.h"
#include "platform/console.h"
#include "platform/platform.h"

#include <cstdio>
#include <ctime>

namespace fiscal_menu {

namespace {

Step withList(const char *name, const char *paramList,
              std::vector<PushedParam> pushed = {}) {
  return Step{name, Creation::WithParamList, paramList, std::move(pushed)};
}

Step plain(const char *name, std::vector<PushedParam> pushed = {}) {
  return Step{name, Creation::Plain, "", std::move(pushed)};
}

// The text of every form line: four lines of 40 characters.
constexpr const char kFormTestLines[] = "12345#####12345#####12345#####12345#####\n"
                                        "########################################\n"
                                        "########################################\n"
                                        "########################################";

Step formLine(const char *paramList) {
  return withList("formline", paramList, {{"s1", kFormTestLines}});
}

// ---- Sales receipts ---------------------------------------------------------

const Scenario kSimpleSale = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,99999"),
        withList("trend", "to,99999"),
    },
    true,
};

const Scenario kSaleWithDiscount = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,10000"),
        // "popołudniowy": afternoon
        withList("trdiscntbill", "na,popo\xB3udniowy\nrd,1\nrp,1000"),
        withList("trend", "to,9000"),
    },
    true,
};

const Scenario kSaleWithLineDiscount = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,9999999\nrd,1\nrn,rabacik\nrw,099"),
        withList("trend", "to,9999900"),
    },
    true,
};

const Scenario kSaleWithCurrencyPayment = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,10000"),
        withList("trpaymentcurr", "wc,5000\nra,23000\nna,EURO\nsb,EUR"),
        withList("trend", "to,10000\nfp,11500"),
    },
    true,
};

const Scenario kSaleWithCardPayment = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,9999999"),
        withList("trpayment", "ty,2\nwa,10000000\nna,VISA"),
        withList("trend", "to,9999999\nfp,10000000"),
    },
    true,
};

const Scenario kSaleWithFooter = {
    {
        withList("trinit", "bm,0"),
        withList("trline", "na,Towar A\nvt,0\npr,9999999"),
        withList("trend", "to,9999999\nfe,0"),
        plain("trftrend"),
    },
    true,
};

// ---- Invoices and packaging ---------------------------------------------------

const Scenario kPackagingTransaction = {
    {
        plain("trpackinit"),
        withList("trpack", "na,1\nne,1\npr,100\nil,1\nwa,100"),
        withList("trpack", "na,2\nne,0\npr,100\nil,2\nwa,200"),
        withList("trend", "op,200\nom,100"),
    },
    true,
};

// "pt,gotówka": paid in cash
const Scenario kVatInvoice = {
    {
        withList("trfvinit", "nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\n"
                             "pt,got\xF3wka\nps,0"),
        withList("trline", "na,Towar A\nvt,0\npr,10000"),
        withList("trend", "to,10000"),
    },
    true,
};

// "ss,Ewa Przykładowa": the person named on the invoice
const Scenario kVatInvoiceWithPersons = {
    {
        withList("trfvinit", "nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\n"
                             "pt,got\xF3wka\nsc,Jan Wzorowy\nss,Ewa Przyk\xB3"
                             "adowa\nps,1"),
        withList("trline", "na,Towar A\nvt,0\npr,10000"),
        withList("trend", "to,10000"),
    },
    true,
};

// ---- Forms and printout texts -------------------------------------------------

const Scenario kFooterBarcodeConfig = {
    {withList("ftrcfg", "bc,1234567890")},
    false,
};

const Scenario kForm25Voucher = {
    {
        withList("formstart", "fn,25\nfh,0"),
        formLine("fn,25\nfl,0"),
        formLine("fn,25\nfl,1"),
        formLine("fn,25\nfl,2"),
        formLine("fn,25\nfl,3"),
        formLine("fn,25\nfl,4"),
        formLine("fn,25\nfl,5"),
        formLine("fn,25\nfl,6"),
        formLine("fn,25\nfl,7"),
        withList("formend", "fn,25"),
    },
    true,
};

const Scenario kForm32CardPaymentConfirmation = {
    {
        withList("formstart", "fn,32\nfh,0"),
        formLine("fn,32\nfl,0"),
        formLine("fn,32\nfl,1"),
        formLine("fn,32\nfl,2"),
        formLine("fn,32\nfl,3"),
        formLine("fn,32\nfl,4"),
        formLine("fn,32\nfl,5"),
        formLine("fn,32\nfl,6"),
        formLine("fn,32\nfl,7"),
        formLine("fn,32\nfl,8"),
        formLine("fn,32\nfl,9"),
        formLine("fn,32\nfl,10"),
        formLine("fn,32\nfl,11"),
        formLine("fn,32\nfl,12"),
        formLine("fn,32\nfl,13"),
        formLine("fn,32\nfl,14"),
        formLine("fn,32\nfl,15"),
        formLine("fn,32\nfl,16"),
        formLine("fn,32\nfl,17"),
        withList("formend", "fn,32"),
    },
    true,
};

// Footer lines: "we invite you again", "for big shopping", "bye bye bye".
const Scenario kFooterLines = {
    {withList("ftrinfoset", "lb,0",
              {{"tx", "&w&cZapraszamy ponownie\n&w&cna wielkie zakupy\n&cPA PA PA"}})},
    false,
};

const Scenario kSetHeader = {
    {plain("hdrset", {{"tx", "&cDrukarka fiskalna\n&w&cTALMER ORBA XT 2"}})},
    false,
};

// ---- Reports and settings -----------------------------------------------------

const Scenario kDailyReport = {
    {plain("dailyrep")},
    false,
};

const Scenario kSetVatRates = {
    {withList("vatset", "va,22\nvb,7\nvc,0\nvd,3\nvg,100")},
    false,
};

// ---- The entries --------------------------------------------------------------

void dailyReport(Device device) {
  runScenario(device, kDailyReport);
}
void footerBarcodeConfig(Device device) {
  runScenario(device, kFooterBarcodeConfig);
}
void form25Voucher(Device device) {
  runScenario(device, kForm25Voucher);
}
void packagingTransaction(Device device) {
  runScenario(device, kPackagingTransaction);
}
void vatInvoice(Device device) {
  runScenario(device, kVatInvoice);
}
void vatInvoiceWithPersons(Device device) {
  runScenario(device, kVatInvoiceWithPersons);
}
void simpleSale(Device device) {
  runScenario(device, kSimpleSale);
}
void saleWithDiscount(Device device) {
  runScenario(device, kSaleWithDiscount);
}
void saleWithLineDiscount(Device device) {
  runScenario(device, kSaleWithLineDiscount);
}
void saleWithCurrencyPayment(Device device) {
  runScenario(device, kSaleWithCurrencyPayment);
}
void saleWithCardPayment(Device device) {
  runScenario(device, kSaleWithCardPayment);
}
void saleWithFooter(Device device) {
  runScenario(device, kSaleWithFooter);
}
void footerLines(Device device) {
  runScenario(device, kFooterLines);
}
void setHeader(Device device) {
  runScenario(device, kSetHeader);
}
void setVatRates(Device device) {
  runScenario(device, kSetVatRates);
}
void form32CardPaymentConfirmation(Device device) {
  runScenario(device, kForm32CardPaymentConfirmation);
}

/// The barcode configuration, then the simple sale whatever became of it.
void saleWithBarcode(Device device) {
  runScenario(device, kFooterBarcodeConfig);
  runScenario(device, kSimpleSale);
}

/// Asks for the two dates until two words come; the end of standard input
/// leaves without sending anything. The words are sent as typed.
void periodicReport(Device device) {
  char data_od[16] = {};
  char data_do[16] = {};
  for (;;) {
    // "Enter the start and end date of the period as yyyy-mm-dd and press ENTER"
    console::print("Podaj dat\xEA pocz\xB9tkow\xB9 i ko\xF1"
                   "cow\xB9 okresu w formacie rrrr-mm-dd i naci\x9Cnij ENTER\n");
    console::flush();
    if (std::scanf("%10s %10s", data_od, data_do) == 2) break;
    if (!console::discardBufferedInput()) return;
  }
  char bufor[1024];
  std::snprintf(bufor, sizeof bufor, "fd,%s\ntd,%s\nsu,0", data_od, data_do);
  runScenario(device, {{withList("periodicrepbydates", bufor)}, false});
}

/// Sets the printer's clock to the local time, taken once before the request
/// is created: date and minute, no seconds.
void setClock(Device device) {
  const std::tm now = platform::localTimeNow();
  char buffer[128];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d,%H:%M", &now);
  runScenario(device, {{plain("rtcset", {{"da", buffer}})}, false});
}

const MenuEntry kMenuEntries[] = {
    {"(1) Raport dobowy\n", dailyReport},
    {"(2) Konfiguracja stopki wydruku - kod kreskowy [FTRCFG]\n", footerBarcodeConfig},
    {"(3) Formatka 25 - Bon rabatowy\n", form25Voucher},
    {"(4) Transakcja opakowan\n", packagingTransaction},
    {"(5) Faktura VAT\n", vatInvoice},
    {"(6) Faktura VAT + Osoby w fakturze\n", vatInvoiceWithPersons},
    {"(7) Sprzedaz prosta\n", simpleSale},
    {"(8) Sprzedaz z rabatem\n", saleWithDiscount},
    {"(9) Sprzedaz z rabatem linii\n", saleWithLineDiscount},
    {"(10) Sprzedaz z platnoscia walutowa\n", saleWithCurrencyPayment},
    {"(11) Sprzedaz z platnoscia karta\n", saleWithCardPayment},
    {"(12) Sprzedaz ze stopka (wyslij najpierw [FTRINFOSET] - 13)\n", saleWithFooter},
    {"(13) Linie stopki [FTRINFOSET]\n", footerLines},
    {"(14) Sprzedaz z kodem kreskowym\n", saleWithBarcode},
    {"(15) Ustaw naglowek\n", setHeader},
    {"(16) Raport okresowy\n", periodicReport},
    {"(17) Ustaw stawki VAT\n", setVatRates},
    {"(18) Ustaw zegar\n", setClock},
    {"(19) Formatka 32 - Potwierdzenie zaplaty karta\n", form32CardPaymentConfirmation},
};

} // namespace

std::span<const MenuEntry> menuEntries() {
  return kMenuEntries;
}

} // namespace fiscal_menu
