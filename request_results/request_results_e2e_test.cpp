// request_results end to end: the status line, the four sections under their
// banners, and each section's failures, checked on standard output and in the
// trace of library calls.
#include "e2e/harness.h"
#include "e2e/receipt_trace.h"
#include "e2e/trace_filters.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace receipt_e2e;
using e2e::cp1250;

const std::string kBanner = "*****************************************\n";
const std::string kTitles[] = {
    "SPOOLSPECIAL - wyslij-zapomnij z obsluga bledow\n",
    cp1250("Pobranie daty, metoda GET wyników\n"),
    cp1250("Pobranie stawek VAT, metoda POP wszystkich pól\n"),
    "Drukowanie paragonu\n",
};
// The first request of each section, where its part of the trace begins.
const char *const kFirstRequests[] = {"papfeed", "rtcget", "vatget", "trinit"};

// The date is pinned so that every run prints the same.
const std::string kDateScript = "rtcget field da \"2026-12-11,10:15\"\n";

const std::string kAnnounce =
    cp1250("Wysylamy 50 wysuniec papieru ( w tym 1 błędne )....\n");
const std::string kWaiting = "Czekamy na wykonanie\n";

e2e::Result runWith(const std::string &script) {
  return e2e::run(programRun("request_results", kDateScript + script));
}

/// The output split at the section headers (banner, title, banner): what
/// stands before the first header, then each section's text in order.
std::vector<std::string> sectionsOf(const std::string &out) {
  std::vector<std::string> parts;
  std::size_t from = 0;
  for (const std::string &title : kTitles) {
    const std::size_t at = out.find(kBanner + title + kBanner, from);
    if (at == std::string::npos) break;
    parts.push_back(out.substr(from, at - from));
    from = at + 2 * kBanner.size() + title.size();
  }
  parts.push_back(out.substr(from));
  return parts;
}

/// The part of the trace that belongs to section (1 to 4).
std::vector<std::string> sectionTrace(const e2e::Result &result, int section) {
  return renumbered(between(e2e::requestCallsWithErrors(result),
                            kFirstRequests[section - 1],
                            section < 4 ? kFirstRequests[section] : ""));
}

std::string failure(int number, int status, const std::string &text) {
  return cp1250("Niewykonany " + std::to_string(number) +
                " - Status błędu: " + std::to_string(status) + " - " + text + "\n");
}
const std::string kOutOfRange = "Wartość parametru poza zakresem";
const std::string kCommand = "Polecenie: 'papfeed' \n";

// ---- The full run ------------------------------------------------------------

/// The quoted texts that a trace line shows after its "->" (plain texts only).
std::vector<std::string> written(const std::string &line) {
  std::vector<std::string> texts;
  static const std::regex text("\"([^\"]*)\"");
  const std::string tail = line.substr(line.find("->"));
  for (std::sregex_iterator it(tail.begin(), tail.end(), text), end; it != end; ++it)
    texts.push_back((*it)[1]);
  return texts;
}

TEST(RequestResults, FullRunShowsEverySection) {
  const e2e::Result result = e2e::run(programRun("request_results", ""));
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> parts = sectionsOf(result.out);
  ASSERT_EQ(parts.size(), 5u) << result.out;
  EXPECT_EQ(parts[0], "Printer status D:0, P0\n");

  // The spooled feeds: the twenty-sixth fails, as the library describes it.
  const std::vector<std::string> spool =
      between(e2e::requestCallsWithErrors(result), "papfeed", "rtcget");
  std::vector<std::string> descriptions;
  for (const std::string &line : spool)
    if (line.starts_with("FPD_GetErrorString(")) descriptions.push_back(line);
  ASSERT_EQ(descriptions.size(), 1u);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(
      descriptions[0], m,
      std::regex(R"re(FPD_GetErrorString\((-?[0-9]+), "pl"\) = "(.*)")re")));
  EXPECT_EQ(parts[1], kAnnounce + kWaiting + "Wykonano: 50\n" +
                          failure(26, std::stoi(m[1]), m[2]) + kCommand);
  std::vector<std::string> pushed;
  for (const std::string &line : renumbered(spool))
    if (line.starts_with("FPD_PushRequestParam(")) pushed.push_back(line);
  ASSERT_EQ(pushed.size(), 50u);
  for (std::size_t i = 0; i < pushed.size(); ++i)
    EXPECT_EQ(pushed[i], "FPD_PushRequestParam(request" + std::to_string(i + 1) +
                             ", \"ln\", \"" + (i == 25 ? "100" : "1") + "\") = 0");
  EXPECT_EQ(e2e::callsOf(result, {"FPD_PostRequest"}).size(), 50u + 4u + 2u);

  // The date as the library copied it.
  std::string date;
  for (const std::string &line : sectionTrace(result, 2))
    if (line.starts_with("FPD_GetResponseValue(request1, \"da\", 250) = 0 -> "))
      date = written(line).at(0);
  EXPECT_FALSE(date.empty());
  EXPECT_EQ(parts[2], cp1250("Pobrano datę z urządzenia: " + date + "\n"));

  // The VAT fields in the order popped.
  std::string fields;
  int count = 0;
  for (const std::string &line : sectionTrace(result, 3))
    if (line.starts_with("FPD_PopResponseValue(request1, 250) = 0 -> ")) {
      const std::vector<std::string> pair = written(line);
      fields += cp1250("Pobrano pole: '" + pair.at(0) + "', o wartości '" + pair.at(1) +
                       "'\n");
      ++count;
    }
  EXPECT_GT(count, 0);
  EXPECT_EQ(parts[3],
            cp1250("Odebrano wyniki, " + std::to_string(count) + " pól\n") + fields);

  EXPECT_EQ(parts[4], "");
  EXPECT_EQ(sectionTrace(result, 4),
            receiptTrace({done(), done(), done(), done()}, Cancel::NotSent));
  expectOwnRequestsDestroyed(result);
}

// ---- The printer status ------------------------------------------------------

struct StatusCase {
  const char *name;
  std::string script;
  std::string statusLine;
  bool sectionsRun;
};

void PrintTo(const StatusCase &c, std::ostream *os) {
  *os << c.name;
}

class RequestResultsStatus : public testing::TestWithParam<StatusCase> {};

TEST_P(RequestResultsStatus, DecidesWhetherTheSectionsRun) {
  const StatusCase &c = GetParam();
  const e2e::Result result = runWith(c.script);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  if (!c.sectionsRun) {
    EXPECT_EQ(result.out, c.statusLine);
    EXPECT_EQ(e2e::requestCallsWithErrors(result), std::vector<std::string>{});
  } else {
    const std::vector<std::string> parts = sectionsOf(result.out);
    ASSERT_EQ(parts.size(), 5u) << result.out;
    EXPECT_EQ(parts[0], c.statusLine);
  }
  expectOwnRequestsDestroyed(result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestResultsStatus,
    testing::Values(
        StatusCase{"Busy", "status 1 2\n", "Printer status D:1, P2\n", false},
        StatusCase{"Negative", "status -1 0\n", "Printer status D:-1, P0\n", false},
        StatusCase{"PrinterStatusOnlyShown", "status 0 7\n", "Printer status D:0, P7\n",
                   true},
        StatusCase{"QueryFailed", "status fail 0x10015\n", "Printer status D:0, P0\n",
                   true}),
    [](const auto &test) { return std::string(test.param.name); });

// ---- The spooled feeds -------------------------------------------------------

struct SpoolCase {
  const char *name;
  std::string script;
  std::string text;                ///< the section's output
  int posted;                      ///< successful spooled posts
  int fetched;                     ///< FPD_GetNextResponse calls
  std::vector<int> destroyedFeeds; ///< which papfeed requests, by creation order
};

void PrintTo(const SpoolCase &c, std::ostream *os) {
  *os << c.name;
}

class RequestResultsSpool : public testing::TestWithParam<SpoolCase> {};

TEST_P(RequestResultsSpool, ReportsTheFailuresOfTheQueue) {
  const SpoolCase &c = GetParam();
  const e2e::Result result = runWith(c.script);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> parts = sectionsOf(result.out);
  ASSERT_EQ(parts.size(), 5u) << result.out;
  EXPECT_EQ(parts[1], c.text);

  int posted = 0, fetched = 0;
  std::vector<int> destroyed;
  const std::vector<std::string> spool = sectionTrace(result, 1);
  for (const std::string &line : spool) {
    posted +=
        std::regex_match(line, std::regex(R"(FPD_PostRequest\(.*SPOOLSPECIAL\) = 0)"));
    fetched += line.starts_with("FPD_GetNextResponse(");
    std::smatch m;
    if (std::regex_match(line, m,
                         std::regex(R"(FPD_DestroyRequest\(request([0-9]+)\).*)")))
      destroyed.push_back(std::stoi(m[1]));
  }
  EXPECT_EQ(posted, c.posted);
  EXPECT_EQ(fetched, c.fetched);
  EXPECT_EQ(destroyed, c.destroyedFeeds);
  expectOwnRequestsDestroyed(result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RequestResultsSpool,
    testing::Values(
        SpoolCase{"TwentySixthFails",
                  "",
                  kAnnounce + kWaiting + "Wykonano: 50\n" +
                      failure(26, 4, kOutOfRange) + kCommand,
                  50,
                  51,
                  {26}},
        SpoolCase{"WarningsPrintNothingButCount",
                  "papfeed#3 status 0x10004\npapfeed#40 status 0x10004\n",
                  kAnnounce + kWaiting + "Wykonano: 50\n" +
                      failure(26, 4, kOutOfRange) + kCommand,
                  50,
                  51,
                  {26}},
        SpoolCase{"TwoFailures",
                  "papfeed#10 status 20\n",
                  kAnnounce + kWaiting + "Wykonano: 50\n" +
                      failure(10, 20, "Brak papieru") + kCommand +
                      failure(26, 4, kOutOfRange) + kCommand,
                  50,
                  51,
                  {10, 26}},
        SpoolCase{"TwelfthNotCreated",
                  "papfeed#12 create fail 0x10006\n",
                  kAnnounce + "FPD_CreateRequest status: 65542" + kWaiting +
                      "Wykonano: 11\n",
                  11,
                  12,
                  {}},
        SpoolCase{"EmptyQueue", "response-count 0\n", kAnnounce + kWaiting, 50, 0, {}},
        SpoolCase{"NoDescription",
                  "describe 4 none\n",
                  kAnnounce + kWaiting + "Wykonano: 50\n" +
                      failure(26, 4, "(brak opisu)") + kCommand,
                  50,
                  51,
                  {26}},
        SpoolCase{"NoCommandField",
                  "papfeed#26 no-field cm\n",
                  kAnnounce + kWaiting + "Wykonano: 50\n" + failure(26, 4, kOutOfRange),
                  50,
                  51,
                  {26}},
        SpoolCase{"MoreThanCounted",
                  "response-count 3\n",
                  kAnnounce + kWaiting + "Wykonano: 3\n" + failure(26, 4, kOutOfRange) +
                      kCommand,
                  50,
                  51,
                  {26}},
        SpoolCase{"LostResponse",
                  "papfeed#26 lost\n",
                  kAnnounce + kWaiting + "Wykonano: 49\n",
                  50,
                  50,
                  {}},
        // A refused post leaves the request with the program, which destroys it.
        SpoolCase{"PostRefused",
                  "papfeed#3 post fail 0x10005\n",
                  kAnnounce + kWaiting + "Wykonano: 49\n" +
                      failure(25, 4, kOutOfRange) + kCommand,
                  49,
                  50,
                  {3, 26}}),
    [](const auto &test) { return std::string(test.param.name); });

// ---- Response fields and the receipt -----------------------------------------

struct SectionCase {
  const char *name;
  int section; ///< 2 date, 3 VAT rates, 4 receipt
  std::string script;
  std::string text; ///< the section's output
  std::vector<std::string> trace;
};

void PrintTo(const SectionCase &c, std::ostream *os) {
  *os << c.name;
}

class RequestResultsSection : public testing::TestWithParam<SectionCase> {};

TEST_P(RequestResultsSection, PrintsAndSends) {
  const SectionCase &c = GetParam();
  const e2e::Result result = runWith(c.script);
  ASSERT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> parts = sectionsOf(result.out);
  ASSERT_EQ(parts.size(), 5u) << result.out;
  EXPECT_EQ(parts[static_cast<std::size_t>(c.section)], c.text);
  if (c.section < 4 && !c.text.empty() && !c.text.ends_with('\n')) {
    // A creation message runs on into the next section's banner.
    EXPECT_NE(result.out.find(c.text + kBanner + kTitles[c.section]),
              std::string::npos);
  }
  EXPECT_EQ(sectionTrace(result, c.section), c.trace);
  expectOwnRequestsDestroyed(result);
}

std::vector<std::string> single(const std::string &name,
                                const std::vector<std::string> &tail) {
  std::vector<std::string> lines = {
      "FPD_CreateRequest(device1, \"" + name + "\") = request1",
      "FPD_PostRequest(request1, FPD_POST_NORMAL) = 0",
  };
  lines.insert(lines.end(), tail.begin(), tail.end());
  return lines;
}
const std::string kCompleted[] = {"FPD_WaitForRequestCompleted(request1, 5000) = 0",
                                  "FPD_GetRequestStatus(request1) = 0"};
const std::string kDestroyed = "FPD_DestroyRequest(request1) = 0";

std::vector<SectionCase> fieldCases() {
  std::vector<SectionCase> cases = {
      {"DateRead", 2, "", cp1250("Pobrano datę z urządzenia: 2026-12-11,10:15\n"),
       single("rtcget", {kCompleted[0], kCompleted[1],
                         "FPD_GetResponseValue(request1, \"da\", 250) = 0 -> "
                         "\"2026-12-11,10:15\"",
                         kDestroyed})},
      {"DateMissing", 2, "rtcget no-field da\n", "Brak pola daty w wyniku rozkazu\n",
       single("rtcget",
              {kCompleted[0], kCompleted[1],
               "FPD_GetResponseValue(request1, \"da\", 250) = 65553", kDestroyed})},
      // Pairs in the order given; a long name comes cut to 15 characters.
      {"VatThreeFields", 3,
       "vatget no-fields\nvatget field va \"23\"\n"
       "vatget field stawka_obnizona_druga \"8\"\nvatget field vc \"zwolniona\"\n",
       cp1250("Odebrano wyniki, 3 pól\n"
              "Pobrano pole: 'va', o wartości '23'\n"
              "Pobrano pole: 'stawka_obnizona', o wartości '8'\n"
              "Pobrano pole: 'vc', o wartości 'zwolniona'\n"),
       single("vatget",
              {kCompleted[0], kCompleted[1], "FPD_GetResponseValueCount(request1) = 3",
               "FPD_PopResponseValue(request1, 250) = 0 -> \"va\", \"23\"",
               "FPD_PopResponseValue(request1, 250) = 0 -> "
               "\"stawka_obnizona\", \"8\"",
               "FPD_PopResponseValue(request1, 250) = 0 -> \"vc\", \"zwolniona\"",
               "FPD_PopResponseValue(request1, 250) = 65553", kDestroyed})},
      {"VatNoFields", 3, "vatget no-fields\n", "",
       single("vatget", {kCompleted[0], kCompleted[1],
                         "FPD_GetResponseValueCount(request1) = 0", kDestroyed})},
  };
  // The failures that the two field sections share.
  for (int section : {2, 3}) {
    const std::string name = kFirstRequests[section - 1];
    const bool date = section == 2;
    cases.push_back({date ? "DateNotCreated" : "VatNotCreated",
                     section,
                     name + " create fail 0x10006\n",
                     "FPD_CreateRequest status: 65542",
                     {"FPD_CreateRequest(device1, \"" + name + "\") = null",
                      "FPD_GetError(device1) = 65542"}});
    cases.push_back(
        {date ? "DateNoAnswer" : "VatNoAnswer", section, name + " wait 65539\n", "",
         single(name,
                {"FPD_WaitForRequestCompleted(request1, 5000) = 65539", kDestroyed})});
    cases.push_back(
        {date ? "DateRefused" : "VatRefused", section, name + " status 6\n", "",
         single(name,
                {kCompleted[0], "FPD_GetRequestStatus(request1) = 6", kDestroyed})});
  }
  return cases;
}

std::vector<SectionCase> receiptCases() {
  const std::string createFailed = "FPD_CreateRequest status: 65542";
  const std::string createExFailed = "FPD_CreateRequestEx status: 65542";
  return {
      {"ReceiptPrinted", 4, "", "",
       receiptTrace({done(), done(), done(), done()}, Cancel::NotSent)},
      {"TrinitNotCreated", 4, "trinit create fail 0x10006\n", createFailed,
       receiptTrace({notCreated(65542)}, Cancel::Answers)},
      {"TrlineNotCreated", 4, "trline create fail -7\n",
       "FPD_CreateRequestEx status: -7",
       receiptTrace({done(), notCreated(-7)}, Cancel::Answers)},
      {"TrpaymentNotCreated", 4, "trpayment create fail 0x10006\n", createExFailed,
       receiptTrace({done(), done(), notCreated(65542)}, Cancel::Answers)},
      {"TrendNotCreated", 4, "trend create fail 0x10006\n", createExFailed,
       receiptTrace({done(), done(), done(), notCreated(65542)}, Cancel::Answers)},
      {"TrlineNoAnswer", 4, "trline wait 65539\n", "",
       receiptTrace({done(), waitFails(65539)}, Cancel::Answers)},
      {"TrendWaitFailed", 4, "trend wait 65541\n", "",
       receiptTrace({done(), done(), done(), waitFails(65541)}, Cancel::Answers)},
      {"TrinitRefused", 4, "trinit status 30\n", "",
       receiptTrace({statusFails(30)}, Cancel::Answers)},
      {"TrlineRefused", 4, "trline status 34\n", "",
       receiptTrace({done(), statusFails(34)}, Cancel::Answers)},
      {"TrpaymentRefused", 4, "trpayment status 33\n", "",
       receiptTrace({done(), done(), statusFails(33)}, Cancel::Answers)},
      {"TrendRefused", 4, "trend status 32\n", "",
       receiptTrace({done(), done(), done(), statusFails(32)}, Cancel::Answers)},
      // The cancel request can't be created: nothing is posted, and the
      // program says so as for any request.
      {"CancelNotCreated", 4, "trpayment status 33\nprncancel create fail 0x10006\n",
       createFailed,
       receiptTrace({done(), done(), statusFails(33)}, Cancel::NotCreated, 65542)},
      {"TrinitAndCancelNotCreated", 4,
       "trinit create fail 0x10006\nprncancel create fail 0x10017\n",
       createFailed + "FPD_CreateRequest status: 65559",
       receiptTrace({notCreated(65542)}, Cancel::NotCreated, 65559)},
      {"CancelNoAnswer", 4, "trend status 32\nprncancel wait 65539\n", "",
       receiptTrace({done(), done(), done(), statusFails(32)}, Cancel::NoAnswer,
                    65539)},
  };
}

std::vector<SectionCase> sectionCases() {
  std::vector<SectionCase> cases = fieldCases();
  for (SectionCase &c : receiptCases())
    cases.push_back(std::move(c));
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, RequestResultsSection,
                         testing::ValuesIn(sectionCases()),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
