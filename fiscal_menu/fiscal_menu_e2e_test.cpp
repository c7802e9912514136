// fiscal_menu run as an operator would: the choices on standard input, the
// virtual printer's script, then the exact console output and the library
// calls of the requests.
#include "e2e/harness.h"
#include "e2e/printer.h"
#include "e2e/test_folder.h"
#include "e2e/trace_filters.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- Console texts (UTF-8 here, code page 1250 on the console) ---------------

const char *const kMenu =
    "Wybierz opcję i naciśnij ENTER\n"
    "(0) Zakoncz.\n"
    "(1) Raport dobowy\n"
    "(2) Konfiguracja stopki wydruku - kod kreskowy [FTRCFG]\n"
    "(3) Formatka 25 - Bon rabatowy\n"
    "(4) Transakcja opakowan\n"
    "(5) Faktura VAT\n"
    "(6) Faktura VAT + Osoby w fakturze\n"
    "(7) Sprzedaz prosta\n"
    "(8) Sprzedaz z rabatem\n"
    "(9) Sprzedaz z rabatem linii\n"
    "(10) Sprzedaz z platnoscia walutowa\n"
    "(11) Sprzedaz z platnoscia karta\n"
    "(12) Sprzedaz ze stopka (wyslij najpierw [FTRINFOSET] - 13)\n"
    "(13) Linie stopki [FTRINFOSET]\n"
    "(14) Sprzedaz z kodem kreskowym\n"
    "(15) Ustaw naglowek\n"
    "(16) Raport okresowy\n"
    "(17) Ustaw stawki VAT\n"
    "(18) Ustaw zegar\n"
    "(19) Formatka 32 - Potwierdzenie zaplaty karta\n";

const char *const kPrompt =
    "Nie otrzymano odpowiedzi na polecenie, czy czekać dalej (T/N + ENTER)\n";

const char *const kDatePrompt = "Podaj datę początkową i końcową okresu w formacie "
                                "rrrr-mm-dd i naciśnij ENTER\n";

std::string statusLine(int global, int printer) {
  return "Status drukarki - Drukarka: " + std::to_string(global) +
         ", Mechanizm: " + std::to_string(printer) + "\n";
}

/// The status line and the menu, as each pass of the loop shows them.
std::string menus(int count, int global = 0, int printer = 0) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text += statusLine(global, printer) + kMenu;
  return text;
}

// ---- Expected library calls ---------------------------------------------------

/// A request as the trace shows its creation: the ParamList (absent for the
/// plain form) and pushed values written with the trace's \n escapes.
struct Req {
  std::string name;
  std::optional<std::string> paramList;
  std::vector<std::pair<std::string, std::string>> pushed = {};
};

Req plain(std::string name,
          std::vector<std::pair<std::string, std::string>> pushed = {}) {
  return {std::move(name), std::nullopt, std::move(pushed)};
}

std::string handle(int n) {
  return "request" + std::to_string(n);
}

std::string creation(const Req &req) {
  if (req.paramList)
    return "FPD_CreateRequestEx(device1, \"" + req.name + "\", \"" + *req.paramList +
           "\")";
  return "FPD_CreateRequest(device1, \"" + req.name + "\")";
}

/// Creation and pushed parameters of request n.
Lines created(int n, const Req &req) {
  Lines lines{creation(req) + " = " + handle(n)};
  for (const auto &[key, value] : req.pushed)
    lines.push_back("FPD_PushRequestParam(" + handle(n) + ", \"" + key + "\", \"" +
                    value + "\") = 0");
  return lines;
}

/// Request n from creation to destruction, with the results given.
Lines through(int n, const Req &req, const std::string &post, const Lines &waits,
              std::optional<std::string> status) {
  Lines lines = created(n, req);
  lines.push_back("FPD_PostRequest(" + handle(n) + ", FPD_POST_NORMAL) = " + post);
  for (const std::string &wait : waits)
    lines.push_back("FPD_WaitForRequestCompleted(" + handle(n) + ", 10000) = " + wait);
  if (status) lines.push_back("FPD_GetRequestStatus(" + handle(n) + ") = " + *status);
  lines.push_back("FPD_DestroyRequest(" + handle(n) + ") = 0");
  return lines;
}

/// Requests that all complete, numbered from first on.
Lines completed(int first, const std::vector<Req> &reqs) {
  Lines lines;
  for (const Req &req : reqs)
    lines = lines + through(first++, req, "0", {"0"}, "0");
  return lines;
}

Lines cancel(int n, const std::string &wait = "0") {
  return {"FPD_CreateRequest(device1, \"prncancel\") = " + handle(n),
          "FPD_PostRequest(" + handle(n) + ", FPD_POST_NORMAL) = 0",
          "FPD_WaitForRequestCompleted(" + handle(n) + ", 5000) = " + wait,
          "FPD_DestroyRequest(" + handle(n) + ") = 0"};
}

using Env = std::vector<std::pair<std::string, std::string>>;

e2e::Result runMenu(std::string input, std::string script = "", const Env &env = {}) {
  e2e::Run run;
  run.program = "fiscal_menu";
  run.input = std::move(input);
  run.script = std::move(script);
  run.env = {{"TALMER_SIM_LOCALTIME", "2010-01-01 09:05:00"}};
  run.env.insert(run.env.end(), env.begin(), env.end());
  run.timeoutSeconds = 20;
  return e2e::run(run);
}

// ---- The nineteen entries against a willing printer ---------------------------

const char *const kFormText = R"(12345#####12345#####12345#####12345#####\n)"
                              R"(########################################\n)"
                              R"(########################################\n)"
                              R"(########################################)";

std::vector<Req> form(int number, int lines) {
  const std::string fn = "fn," + std::to_string(number);
  std::vector<Req> reqs{{"formstart", fn + R"(\nfh,0)"}};
  for (int n = 0; n < lines; ++n)
    reqs.push_back(
        {"formline", fn + R"(\nfl,)" + std::to_string(n), {{"s1", kFormText}}});
  reqs.push_back({"formend", fn});
  return reqs;
}

const std::vector<Req> kSimpleSale = {
    {"trinit", "bm,0"},
    {"trline", R"(na,Towar A\nvt,0\npr,99999)"},
    {"trend", "to,99999"},
};

struct Entry {
  int number;
  std::string input; ///< what follows the number on its line, and more lines
  std::vector<Req> requests;
};

const std::vector<Entry> kEntries = {
    {1, "", {plain("dailyrep")}},
    {2, "", {{"ftrcfg", "bc,1234567890"}}},
    {3, "", form(25, 8)},
    {4,
     "",
     {
         plain("trpackinit"),
         {"trpack", R"(na,1\nne,1\npr,100\nil,1\nwa,100)"},
         {"trpack", R"(na,2\nne,0\npr,100\nil,2\nwa,200)"},
         {"trend", R"(op,200\nom,100)"},
     }},
    {5,
     "",
     {
         {"trfvinit",
          R"(nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\npt,gotówka\nps,0)"},
         {"trline", R"(na,Towar A\nvt,0\npr,10000)"},
         {"trend", "to,10000"},
     }},
    {6,
     "",
     {
         {"trfvinit", R"(nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\n)"
                      R"(pt,gotówka\nsc,Jan Wzorowy\nss,Ewa Przykładowa\nps,1)"},
         {"trline", R"(na,Towar A\nvt,0\npr,10000)"},
         {"trend", "to,10000"},
     }},
    {7, "", kSimpleSale},
    {8,
     "",
     {
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,10000)"},
         {"trdiscntbill", R"(na,popołudniowy\nrd,1\nrp,1000)"},
         {"trend", "to,9000"},
     }},
    {9,
     "",
     {
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,9999999\nrd,1\nrn,rabacik\nrw,099)"},
         {"trend", "to,9999900"},
     }},
    {10,
     "",
     {
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,10000)"},
         {"trpaymentcurr", R"(wc,5000\nra,23000\nna,EURO\nsb,EUR)"},
         {"trend", R"(to,10000\nfp,11500)"},
     }},
    {11,
     "",
     {
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,9999999)"},
         {"trpayment", R"(ty,2\nwa,10000000\nna,VISA)"},
         {"trend", R"(to,9999999\nfp,10000000)"},
     }},
    {12,
     "",
     {
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,9999999)"},
         {"trend", R"(to,9999999\nfe,0)"},
         plain("trftrend"),
     }},
    {13,
     "",
     {{"ftrinfoset",
       "lb,0",
       {{"tx", R"(&w&cZapraszamy ponownie\n&w&cna wielkie zakupy\n&cPA PA PA)"}}}}},
    {14,
     "",
     {
         {"ftrcfg", "bc,1234567890"},
         {"trinit", "bm,0"},
         {"trline", R"(na,Towar A\nvt,0\npr,99999)"},
         {"trend", "to,99999"},
     }},
    {15,
     "",
     {plain("hdrset", {{"tx", R"(&cDrukarka fiskalna\n&w&cTALMER ORBA XT 2)"}})}},
    {16,
     "\n2010-01-01 2010-01-31",
     {{"periodicrepbydates", R"(fd,2010-01-01\ntd,2010-01-31\nsu,0)"}}},
    {17, "", {{"vatset", R"(va,22\nvb,7\nvc,0\nvd,3\nvg,100)"}}},
    {18, "", {plain("rtcset", {{"da", "2010-01-01,09:05"}})}},
    {19, "", form(32, 18)},
};

TEST(FiscalMenuEntries, EachEntrySendsItsRequestsAndPrintsOnlyTheMenus) {
  for (const Entry &entry : kEntries) {
    SCOPED_TRACE("entry " + std::to_string(entry.number));
    const e2e::Result result =
        runMenu(std::to_string(entry.number) + entry.input + "\n0\n");
    EXPECT_EQ(result.exitCode, 0);
    const std::string between = entry.number == 16 ? kDatePrompt : "";
    EXPECT_EQ(result.out, e2e::cp1250(menus(1) + between + menus(1)));
    EXPECT_EQ(e2e::requestCalls(result), completed(1, entry.requests));
  }
}

// In a row on one printer: entry 17 comes after the sales of entries 2 to 14
// and before a daily report, so the printer refuses to change the VAT rates
// (46), as a fiscal printer does; everything else completes.
TEST(FiscalMenuEntries, AllEntriesInTurnThenZeroEndNormally) {
  std::string input;
  std::string expectedOut;
  Lines expectedCalls;
  int next = 1;
  for (const Entry &entry : kEntries) {
    input += std::to_string(entry.number) + entry.input + "\n";
    expectedOut += menus(1) + (entry.number == 16 ? kDatePrompt : "");
    if (entry.number == 17) {
      expectedOut += "Błąd: 46 - Zmiana stawek VAT wymaga raportu dobowego\n";
      expectedCalls =
          expectedCalls + through(next, entry.requests[0], "0", {"0"}, "46");
    } else {
      expectedCalls = expectedCalls + completed(next, entry.requests);
    }
    next += static_cast<int>(entry.requests.size());
  }
  const e2e::Result result = runMenu(input + "0\n");
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, e2e::cp1250(expectedOut + menus(1)));
  EXPECT_EQ(e2e::requestCalls(result), expectedCalls);
}

// ---- The runner's failures ----------------------------------------------------

/// A way for the step of one request to fail; "@" in the script stands for
/// the request's name.
struct Fault {
  std::string name;
  std::string script;
  std::string answers; ///< typed after the menu choice
  std::string printed; ///< between the menus, UTF-8
  Lines (*calls)(int n, const Req &req);
};

std::string withName(std::string text, const std::string &name) {
  for (std::size_t at; (at = text.find('@')) != std::string::npos;)
    text.replace(at, 1, name);
  return text;
}

const std::string kPromptBlock = statusLine(1, 2) + kPrompt;

const std::vector<Fault> kFaults = {
    {"creation fails with a code",
     "@ create fail 0x10006\ndescribe 0x10006 \"Nie ma\"\n", "",
     "Błąd: 65542 - Nie ma\n",
     [](int, const Req &req) {
       return Lines{creation(req) + " = null", "FPD_GetError(device1) = 65542"};
     }},
    {"creation fails without a code", "@ create fail 0\n", "", "",
     [](int, const Req &req) {
       return Lines{creation(req) + " = null", "FPD_GetError(device1) = 0"};
     }},
    {"post fails", "@ post fail 0x10005\ndescribe 0x10005 \"Zły stan\"\n", "",
     "Błąd: 65541 - Zły stan\n",
     [](int n, const Req &req) { return through(n, req, "65541", {}, std::nullopt); }},
    {"wait fails, no description", "@ wait -5\ndescribe -5 none\n", "",
     "Błąd: -5 - (brak opisu)\n",
     [](int n, const Req &req) { return through(n, req, "0", {"-5"}, std::nullopt); }},
    {"operator answers N after two T", "@ wait 65539\n", "T\nt\nn\n",
     kPromptBlock + kPromptBlock + kPromptBlock,
     [](int n, const Req &req) {
       return through(n, req, "0", {"65539", "65539", "65539"}, std::nullopt);
     }},
    {"status is not 0", "@ status 32\ndescribe 32 \"Suma się nie zgadza\"\n", "",
     "Błąd: 32 - Suma się nie zgadza\n",
     [](int n, const Req &req) { return through(n, req, "0", {"0"}, "32"); }},
};

TEST(FiscalMenuRunner, AFailedStepIsDestroyedAndCancelledOnlyInLongerScenarios) {
  const Req trinit{"trinit", "bm,0"};
  const Req trline{"trline", R"(na,Towar A\nvt,0\npr,99999)"};
  const Req vatset{"vatset", R"(va,22\nvb,7\nvc,0\nvd,3\nvg,100)"};
  for (const Fault &fault : kFaults) {
    SCOPED_TRACE(fault.name);
    const std::string printed =
        e2e::cp1250(menus(1, 1, 2) + fault.printed + menus(1, 1, 2));
    {
      SCOPED_TRACE("entry 7, second step");
      const e2e::Result result =
          runMenu("7\n" + fault.answers + "0\n",
                  "status 1 2\n" + withName(fault.script, "trline"));
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(result.out, printed);
      const Lines failed = fault.calls(2, trline);
      const int cancelHandle = failed.front().ends_with("= null") ? 2 : 3;
      EXPECT_EQ(e2e::requestStepCalls(result),
                completed(1, {trinit}) + failed + cancel(cancelHandle));
    }
    {
      SCOPED_TRACE("entry 7, first step");
      const e2e::Result result =
          runMenu("7\n" + fault.answers + "0\n",
                  "status 1 2\n" + withName(fault.script, "trinit"));
      EXPECT_EQ(result.out, printed);
      const Lines failed = fault.calls(1, trinit);
      const int cancelHandle = failed.front().ends_with("= null") ? 1 : 2;
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(e2e::requestStepCalls(result), failed + cancel(cancelHandle));
    }
    {
      SCOPED_TRACE("entry 17, one step");
      const e2e::Result result =
          runMenu("17\n" + fault.answers + "0\n",
                  "status 1 2\n" + withName(fault.script, "vatset"));
      EXPECT_EQ(result.exitCode, 0);
      EXPECT_EQ(result.out, printed);
      EXPECT_EQ(e2e::requestStepCalls(result), fault.calls(1, vatset));
    }
  }
}

TEST(FiscalMenuRunner, TheCancelRequestsOwnFailuresArePrintedAndNothingMore) {
  const Lines before =
      completed(1, {{"trinit", "bm,0"}}) +
      through(2, {"trline", R"(na,Towar A\nvt,0\npr,99999)"}, "0", {"0"}, "32");
  const std::string refused = "Błąd: 32 - Odmowa\n";
  struct Case {
    std::string name;
    std::string script;
    std::string printed;
    Lines calls;
  } cases[] = {
      {"no answer in 5000 ms",
       "prncancel wait 65539\ndescribe 65539 \"Brak odpowiedzi\"\n",
       refused + "Błąd: 65539 - Brak odpowiedzi\n", before + cancel(3, "65539")},
      {"cannot be created",
       "prncancel create fail 0x10006\ndescribe 0x10006 \"Nie ma\"\n",
       refused + "Błąd: 65542 - Nie ma\n",
       before + Lines{"FPD_CreateRequest(device1, \"prncancel\") = null",
                      "FPD_GetError(device1) = 65542"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const e2e::Result result =
        runMenu("7\n0\n", "trline status 32\ndescribe 32 \"Odmowa\"\n" + c.script);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(menus(1) + c.printed + menus(1)));
    EXPECT_EQ(e2e::requestStepCalls(result), c.calls);
  }
}

TEST(FiscalMenuRunner, AFailedStatusQueryIsPrintedBeforeTheStatusLine) {
  const std::string silent = "Błąd: 65557 - Drukarka milczy\n" + statusLine(0, 0);
  struct Case {
    std::string name;
    std::string input;
    std::string script;
    std::string printed; ///< UTF-8
    Lines queries;       ///< the status queries in the trace
  } cases[] = {
      {"every query fails, at the menu and at the prompt: the pair stays 0, 0",
       "7\nN\n0\n",
       "status fail 0x10015\ndescribe 0x10015 \"Drukarka milczy\"\ntrinit wait 65539\n",
       silent + kMenu + silent + kPrompt + silent + kMenu,
       Lines(3, "FPD_GetPrnDeviceStatus(device1, 1) = 65557")},
      // The letters are discarded with the rest of the line, and the pass
      // after them meets the failed query.
      {"the second query fails: the pair keeps the first answer",
       "abc\n0\n",
       "status 3 4\nstatus#2 fail 0x10015\n",
       menus(1, 3, 4) + "Błąd: 65557 - Drukarka nie odpowiada\n" + menus(1, 3, 4),
       {"FPD_GetPrnDeviceStatus(device1, 1) = 0 -> 3, 4",
        "FPD_GetPrnDeviceStatus(device1, 1) = 65557"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const e2e::Result result = runMenu(c.input, c.script);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(c.printed));
    EXPECT_EQ(e2e::callsOf(result, {"FPD_GetPrnDeviceStatus"}), c.queries);
  }
}

// ---- The printer's paper and cover -------------------------------------------

TEST(FiscalMenuPrinter, PaperOutOrCoverOpenFromTheStartRefuseTheReceiptAndCancelIt) {
  const Req trinit{"trinit", "bm,0"};
  struct Case {
    std::string script;
    int printerStatus; ///< the printer's own bit for the fault
    std::string code;  ///< the refusal of "trinit"
    std::string description;
  } cases[] = {
      {"at 0 paper out\n", 1, "20", "Brak papieru"},
      {"at 0 cover open\n", 2, "21", "Otwarta pokrywa drukarki"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.script);
    const e2e::TestFolder folder;
    const std::string roll = folder.file("roll.txt");
    const e2e::Result result = runMenu("7\n0\n", c.script, {{"TALMER_PAPER", roll}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              e2e::cp1250(menus(1, 1, c.printerStatus) + "Błąd: " + c.code + " - " +
                          c.description + "\n" + menus(1, 1, c.printerStatus)));
    EXPECT_EQ(e2e::requestStepCalls(result),
              through(1, trinit, "0", {"0"}, c.code) + cancel(2));
    EXPECT_EQ(e2e::fileContent(roll).find("PARAGON FISKALNY"), std::string::npos)
        << e2e::fileContent(roll);
  }
}

// ---- What the virtual printer says of values it can't use ---------------------

TEST(FiscalMenuEnvironment, ATimeScaleThatIsNoWholeNumberInRangeIsSaidOnceAndIgnored) {
  struct Case {
    std::string text;
    bool said;
  } cases[] = {
      {"abc", true}, {"0", true},        {"1000001", true},
      {"-5", true},  {"1.5", true},      {"", false}, // the same as unset
      {"1", false},  {"1000000", false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("TALMER_SIM_TIMESCALE=" + c.text);
    const e2e::Result result = runMenu("0\n", "", {{"TALMER_SIM_TIMESCALE", c.text}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(menus(1)));
    EXPECT_EQ(result.err, c.said ? "libtalmer: TALMER_SIM_TIMESCALE=" + c.text +
                                       ": not a whole number from 1 to 1000000; "
                                       "pauses and waits take their real time\n"
                                 : "");
  }
}

TEST(FiscalMenuEnvironment, APaperRollThatCannotBeWrittenIsSaidOnceAndTheSaleGoesOn) {
  if (e2e::overLink()) GTEST_SKIP() << "over the link the paper roll is the printer's";
  const e2e::TestFolder folder;
  const std::string roll = folder.file("missing/roll.txt");
  const e2e::Result result = runMenu("7\n0\n", "", {{"TALMER_PAPER", roll}});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, e2e::cp1250(menus(2)));
  EXPECT_EQ(e2e::requestStepCalls(result), completed(1, kSimpleSale));
  EXPECT_EQ(result.err, "libtalmer: TALMER_PAPER " + roll +
                            ": cannot be written; the paper roll is not kept\n");
}

// ---- Reading the console ------------------------------------------------------

TEST(FiscalMenuInput, ReadingRules) {
  const Lines entry3 = completed(1, form(25, 8));
  const Lines entry5 = completed(
      1, {{"trfvinit", R"(nb,102\nni,123-456-78-90\nna,HURTOWNIA\npd,2008-11-10\n)"
                       R"(pt,gotówka\nps,0)"},
          {"trline", R"(na,Towar A\nvt,0\npr,10000)"},
          {"trend", "to,10000"}});
  // The first wait of "trinit" gets no answer, the second one does.
  const Lines awaitedTwice = through(1, kSimpleSale[0], "0", {"65539", "0"}, "0") +
                             completed(2, {kSimpleSale[1], kSimpleSale[2]});
  const auto periodic = [](const std::string &list) {
    return completed(1, {{"periodicrepbydates", list}});
  };
  struct Case {
    std::string name;
    std::string input;
    std::string script;
    std::string printed; ///< UTF-8, menus written as {}
    Lines calls;
  } cases[] = {
      {"empty lines are skipped", "\n\n  \n0\n", "", "{}", {}},
      {"letters show the menu again", "abc\n0\n", "", "{}{}", {}},
      {"5x runs 5, then the x shows the menu again", "5x\n0\n", "", "{}{}{}", entry5},
      {"3 7 runs both", "3 7\n0\n", "", "{}{}{}", entry3 + completed(11, kSimpleSale)},
      {"numbers out of range do nothing", "20\n-1\n100\n0\n", "", "{}{}{}{}", {}},
      {"other characters at the prompt are passed over", "7\nx \n\nT\n0\n",
       "trinit wait 65539 times 1\n", "{}" + statusLine(0, 0) + kPrompt + "{}",
       awaitedTwice},
      {"Tak counts as T and leaves ak for the menu", "7\nTak\n0\n",
       "trinit wait 65539 times 1\n", "{}" + statusLine(0, 0) + kPrompt + "{}{}",
       awaitedTwice},
      {"dates on two lines", "16\n2010-01-01\n2010-01-31\n0\n", "",
       std::string("{}") + kDatePrompt + "{}",
       periodic(R"(fd,2010-01-01\ntd,2010-01-31\nsu,0)")},
      {"an overlong first date is cut after ten characters",
       "16\n2010-01-012010-01-31 x\n0\n", "", std::string("{}") + kDatePrompt + "{}{}",
       periodic(R"(fd,2010-01-01\ntd,2010-01-31\nsu,0)")},
      {"words that are not dates are sent as typed, and the printer judges them",
       "16 abc abc\n0\n", "describe 6 \"Zła data\"\n",
       std::string("{}") + kDatePrompt + "Błąd: 6 - Zła data\n{}",
       through(1, {"periodicrepbydates", R"(fd,abc\ntd,abc\nsu,0)"}, "0", {"0"}, "6")},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const e2e::Result result = runMenu(c.input, c.script);
    std::string printed = c.printed;
    for (std::size_t at; (at = printed.find("{}")) != std::string::npos;)
      printed.replace(at, 2, menus(1));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(printed));
    EXPECT_EQ(e2e::requestCalls(result), c.calls);
  }
}

TEST(FiscalMenuInput, NumbersBeyondThirtyTwoBitsDoNothing) {
  // Numbers that the C runtime's %d would wrap into an entry (4294967297 is
  // 2^32 + 1) or into 0, and the two ends of the range, which are no entries.
  struct Case {
    std::string input;
    int menus; ///< passes of the loop, the one that reads 0 included
  } cases[] = {
      {"4294967297", 2},
      {"4294967303", 2},
      {"-4294967295", 2},
      {"4294967296", 2},
      {"2147483648", 2},
      {"-2147483649", 2},
      {"99999999999999999999999", 2},
      {"+99999999999999999999999", 2},
      {"2147483647", 2},
      {"-2147483648", 2},
      {"4294967297x", 3}, // the number ends before the x, which shows the menu again
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.input);
    const e2e::Result result = runMenu(c.input + "\n0\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(menus(c.menus)));
    EXPECT_EQ(e2e::callsOf(result, {"FPD_CreateRequest", "FPD_CreateRequestEx"}),
              Lines{});
  }
}

TEST(FiscalMenuInput, TheEndOfInputEndsTheProgram) {
  struct Case {
    std::string name;
    std::string input;
    std::string script;
    std::string printed;
    Lines calls;
  } cases[] = {
      {"at the menu", "", "", menus(1), {}},
      {"at the menu, after letters", "abc", "", menus(1), {}},
      {"at the menu, after a choice", "17", "", menus(2),
       completed(1, {{"vatset", R"(va,22\nvb,7\nvc,0\nvd,3\nvg,100)"}})},
      {"at the prompt, as N", "7\n", "trline wait 65539\n",
       menus(1) + statusLine(0, 0) + kPrompt + menus(1),
       completed(1, {{"trinit", "bm,0"}}) +
           through(2, {"trline", R"(na,Towar A\nvt,0\npr,99999)"}, "0", {"65539"},
                   std::nullopt) +
           cancel(3)},
      {"at the date prompt, nothing sent",
       "16\n",
       "",
       menus(1) + kDatePrompt + menus(1),
       {}},
      {"at the date prompt, after one date",
       "16\n2010-01-01",
       "",
       menus(1) + kDatePrompt + menus(1),
       {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    e2e::Run run;
    run.program = "fiscal_menu";
    run.input = c.input;
    run.script = c.script;
    run.timeoutSeconds = 5; // a program that spins on the closed input is killed
    const e2e::Result result = e2e::run(run);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, e2e::cp1250(c.printed));
    EXPECT_EQ(e2e::requestStepCalls(result), c.calls);
  }
}

} // namespace
