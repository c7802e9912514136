#include "engine/script.h"
#include "engine/status_codes.h"

#include <gtest/gtest.h>

namespace talmer {
namespace {

Script parsed(std::string_view text) {
  ParsedScript result = parseScript(text);
  EXPECT_TRUE(result.errors.empty()) << result.errors.front();
  return result.script;
}

TEST(Script, ReadsTheStartUpDirectives) {
  const Script s = parsed("# comment\n\n"
                          "handle fail\n"
                          "usb-devices \"VP0001;VP0042\"   # two printers\n"
                          "open fail -1\n"
                          "describe 0x10016 \"Zaj\xC4\x99te \\\"x\\\"\\n\"\n"
                          "describe 12345 none\n");
  EXPECT_TRUE(s.handleFail);
  EXPECT_EQ(s.usbDevices, "VP0001;VP0042");
  EXPECT_EQ(s.openFail, -1);
  EXPECT_EQ(s.descriptions.at(0x10016), "Zaj\xEAte \"x\"\n"); // cp1250
  EXPECT_EQ(s.descriptions.at(12345), std::nullopt);
}

TEST(Script, ReadsRequestRulesWithTheirSelectors) {
  const Script s = parsed("trinit create fail 0x10006\n"
                          "trinit#2 create fail 0\n"
                          "trline post fail 0x10005\n"
                          "trline wait 65539 times 3\n"
                          "trend status 32\n"
                          "rtcget field da \"2010-01-01,16:09\"\n"
                          "rtcget no-field da\n"
                          "vatget no-fields\n"
                          "papfeed busy 3000\n"
                          "papfeed#3 never\n"
                          "papfeed#12 lost\n");
  using Kind = RequestRule::Kind;
  ASSERT_EQ(s.requests.size(), 11u);
  const RequestRule &second = s.requests[1];
  EXPECT_EQ(second.kind, Kind::CreateFail);
  EXPECT_FALSE(second.selects("trinit", 1));
  EXPECT_TRUE(second.selects("trinit", 2));
  EXPECT_TRUE(s.requests[0].selects("trinit", 7));
  EXPECT_EQ(s.requests[3].kind, Kind::Wait);
  EXPECT_EQ(s.requests[3].times, 3u);
  EXPECT_EQ(s.requests[3].code, kWaitNoResponse);
  EXPECT_EQ(s.requests[5].key, "da");
  EXPECT_EQ(s.requests[5].value, "2010-01-01,16:09");
  EXPECT_EQ(s.requests[8].ms, 3000u);
  EXPECT_EQ(s.requests[10].kind, Kind::Lost);
  EXPECT_EQ(s.requests[10].ordinal, 12u);
}

TEST(Script, ReadsStatusQueueAndModemDirectives) {
  const Script s = parsed("response-count 99\n"
                          "status 1 -2\n"
                          "status#2 fail 0x10015\n"
                          "status#3 4 5\n"
                          "event none\n"
                          "at 0 status 1 2\n"
                          "at 500 status 0 0 every 100 times 20\n"
                          "at 2000 paper out\n"
                          "at 3000 cover closed\n"
                          "modem dial fail 0x10010\n"
                          "modem status 0 10 50 100\n");
  EXPECT_EQ(s.responseCount, 99);
  ASSERT_TRUE(s.status);
  EXPECT_EQ(s.status->printer, -2);
  EXPECT_EQ(s.statusFail, std::nullopt);
  EXPECT_EQ(s.statusAnswers.at(2).fail, kPrinterNotAnswering);
  EXPECT_EQ(s.statusAnswers.at(3).fail, std::nullopt);
  EXPECT_EQ(s.statusAnswers.at(3).pair.printer, 5);
  EXPECT_TRUE(s.eventNone);
  ASSERT_EQ(s.changes.size(), 4u);
  EXPECT_EQ(s.changes[1].atMs, 500u);
  EXPECT_EQ(s.changes[1].everyMs, 100u);
  EXPECT_EQ(s.changes[1].times, 20u);
  EXPECT_EQ(s.changes[2].kind, TimedChange::Kind::PaperOut);
  EXPECT_EQ(s.changes[3].kind, TimedChange::Kind::CoverClosed);
  EXPECT_EQ(s.modemDialFail, kModemNoAnswer);
  EXPECT_EQ(s.modemStatus, (std::vector<std::int32_t>{0, 10, 50, 100}));
}

// Of a directive given twice the later one counts, also where the two are
// written differently ("status fail" and "status G P").
TEST(Script, TheLaterOfTwoDirectivesCounts) {
  Script s = parsed("status fail 0x10015\nstatus 1 2\n"
                    "usb-devices fail 0x1000b\nusb-devices \"VP0042\"\n");
  EXPECT_EQ(s.statusFail, std::nullopt);
  EXPECT_EQ(s.status->global, 1);
  EXPECT_EQ(s.usbDevicesFail, std::nullopt);
  EXPECT_EQ(s.usbDevices, "VP0042");
  s = parsed("status 1 2\nstatus fail 0x10015\n"
             "usb-devices \"VP0042\"\nusb-devices fail 0x1000b\n"
             "status#1 1 1\nstatus#1 fail 7\n");
  EXPECT_EQ(s.status, std::nullopt);
  EXPECT_EQ(s.statusFail, kPrinterNotAnswering);
  EXPECT_EQ(s.usbDevices, std::nullopt);
  EXPECT_EQ(s.usbDevicesFail, kUsbListingFailed);
  EXPECT_EQ(s.statusAnswers.at(1).fail, 7);
}

TEST(Script, AMergedScriptTakesTheLaterOnesDirectives) {
  const Script merged =
      mergeScripts(parsed("status fail 0x10015\npapfeed never\nat 5 paper out\n"),
                   parsed("status 3 4\ntrline busy 10\nat 1 cover open\n"));
  EXPECT_EQ(merged.statusFail, std::nullopt);
  EXPECT_EQ(merged.status->printer, 4);
  ASSERT_EQ(merged.requests.size(), 2u);
  EXPECT_EQ(merged.requests[1].name, "trline");
  ASSERT_EQ(merged.changes.size(), 2u);
  EXPECT_EQ(merged.changes[1].kind, TimedChange::Kind::CoverOpen);
}

TEST(Script, ReportsEveryLineItDoesNotUnderstand) {
  const char *bad[] = {"handle",
                       "open fail",
                       "open fail twelve",
                       "describe 1 \"unterminated",
                       "describe 1 \"bad \\q escape\"",
                       "papfeed#0 never",
                       "papfeed# never",
                       "papfeed wait 1 times 0",
                       "papfeed explode",
                       "at 10 status 1",
                       "at 10 paper sideways",
                       "at 10 status 1 2 every 0 times 3",
                       "modem status",
                       "usb-devices VP0001",
                       "status#0 fail 1",
                       "status#x 1 2",
                       "status#2 fail",
                       "status#2 fail one"};
  for (const char *line : bad) {
    ParsedScript result = parseScript(std::string("status 0 0\n") + line + "\n");
    ASSERT_EQ(result.errors.size(), 1u) << line;
    EXPECT_EQ(result.errors[0].rfind("line 2: ", 0), 0u) << result.errors[0];
  }
}

} // namespace
} // namespace talmer
