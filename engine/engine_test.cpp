// The engine on a clock driven by hand: what a program sees is decided by
// nominal times alone.
#include "connection/talmer.h"
#include "engine/engine.h"
#include "engine/printer_status.h"
#include "engine/status_codes.h"

#include <gtest/gtest.h>
#include <vector>

namespace talmer {
namespace {

std::shared_ptr<const Script> script(std::string_view text) {
  ParsedScript parsed = parseScript(text);
  EXPECT_TRUE(parsed.errors.empty()) << parsed.errors.front();
  return std::make_shared<const Script>(std::move(parsed.script));
}

class EngineTest : public ::testing::Test {
protected:
  /// Switches the printer on with its own script and, when given, its own
  /// serial settings.
  void start(std::string_view printerScript = "",
             std::optional<std::string> serial = std::nullopt) {
    EngineConfig config;
    config.clock = clock_;
    config.script = script(printerScript);
    config.serialSettings = std::move(serial);
    std::int32_t error = -1;
    engine_ = Engine::start(config, &error);
    ASSERT_EQ(error, kOk);
  }

  /// A program opens it with the default serial settings and a script.
  std::unique_ptr<Session> connect(std::string_view sessionScript = "",
                                   std::int32_t *error = nullptr) {
    std::int32_t ignored = 0;
    PortSettings port{FPD_DEVICE_SERIAL, "COM1,9600,8,N,1,H", ""};
    return engine_->connect(
        port, script(sessionScript),
        [this](std::uint32_t value) { heard_.push_back(value); },
        error != nullptr ? error : &ignored);
  }

  RequestId posted(Session &session, const std::string &name,
                   const std::string &paramList) {
    const RequestId id = session.create(name, paramList);
    EXPECT_NE(id, 0u) << name;
    EXPECT_EQ(session.post(id, FPD_POST_NORMAL), kOk);
    return id;
  }

  std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
  std::shared_ptr<Engine> engine_;
  std::vector<std::uint32_t> heard_;
};

// "papfeed busy 25000" waited on in slices of 10000 ms: the first two run
// out, the third sees it done, whatever the threads did meanwhile.
TEST_F(EngineTest, AWaitSeesTheRequestDoneWhenItsTimeFitsInTheTimeWaited) {
  start();
  auto session = connect("papfeed busy 25000");
  const RequestId id = posted(*session, "papfeed", "ln,1");
  EXPECT_EQ(session->status(id), kNotCompleted);
  EXPECT_EQ(session->wait(id, 10000), kWaitNoResponse);
  EXPECT_EQ(session->wait(id, 10000), kWaitNoResponse);
  EXPECT_EQ(clock_->now(), 20000u);
  EXPECT_EQ(session->wait(id, 10000), kOk);
  EXPECT_EQ(clock_->now(), 25000u); // the wait lasted until it was done
  EXPECT_EQ(session->status(id), kOk);
}

TEST_F(EngineTest, RequestsAreCarriedOutOneAfterAnother) {
  start();
  auto session = connect("papfeed busy 1000");
  const RequestId first = posted(*session, "papfeed", "ln,1");
  const RequestId second = posted(*session, "papfeed", "ln,1");
  EXPECT_EQ(session->wait(second, 1500), kWaitNoResponse); // due at 2000
  EXPECT_EQ(session->status(first), kOk);                  // due at 1000
  EXPECT_EQ(session->wait(second, 500), kOk);
}

// A program that never enables notifications meets the script's faults: they
// count from the opening.
TEST_F(EngineTest, TimedFaultsCountFromTheOpening) {
  start();
  auto session = connect("at 100 paper out\nat 300 paper in");
  EXPECT_EQ(session->wait(posted(*session, "papfeed", "ln,1"), 60), kOk);
  EXPECT_EQ(clock_->now(), 35u); // 10 ms and a line of 25 ms
  clock_->advance(70);
  const RequestId refused = posted(*session, "papfeed", "ln,1");
  EXPECT_EQ(session->wait(refused, 100), kOk);
  EXPECT_EQ(session->status(refused), kPaperOut);
  StatusPair pair;
  ASSERT_EQ(session->printerStatus(&pair), kOk);
  EXPECT_EQ(pair.global, kGlobalCannotPrint);
  EXPECT_EQ(pair.printer, kPrinterPaperOut);
  clock_->advance(200);
  ASSERT_EQ(session->printerStatus(&pair), kOk);
  EXPECT_EQ(pair.printer, 0);
  // Each change was heard, in order, although nobody asked for them.
  EXPECT_EQ(heard_, (std::vector<std::uint32_t>{0x00010001, 0x00000000}));
}

TEST_F(EngineTest, ChangesAtZeroAreHeardBeforeTheOpeningReturns) {
  start();
  auto session = connect("at 0 status 1 2\nat 0 cover open");
  EXPECT_EQ(heard_, (std::vector<std::uint32_t>{0x00010002, 0x00010002}));
}

// The status query's answers chosen one by one; a scripted pair is reported
// but refuses nothing.
TEST_F(EngineTest, EachStatusQueryMayHaveItsOwnAnswer) {
  start();
  auto session = connect("status 3 4\nstatus#2 fail 0x10015\nstatus#3 5 6");
  StatusPair pair;
  EXPECT_EQ(session->printerStatus(&pair), kOk);
  EXPECT_EQ(pair.printer, 4);
  pair = {9, 9};
  EXPECT_EQ(session->printerStatus(&pair), kPrinterNotAnswering);
  EXPECT_EQ(pair.printer, 9); // left as it was
  EXPECT_EQ(session->printerStatus(&pair), kOk);
  EXPECT_EQ(pair.printer, 6);
  EXPECT_EQ(session->printerStatus(&pair), kOk);
  EXPECT_EQ(pair.printer, 4);
  const RequestId sold = posted(*session, "papfeed", "ln,1");
  EXPECT_EQ(session->wait(sold, 1000), kOk);
  EXPECT_EQ(session->status(sold), kOk);
}

TEST_F(EngineTest, OneProgramAtATime) {
  start();
  std::int32_t error = -1;
  auto first = connect("", &error);
  ASSERT_TRUE(first);
  EXPECT_FALSE(connect("", &error));
  EXPECT_EQ(error, kPrinterBusy);
  first->close();
  EXPECT_TRUE(connect("", &error));
  EXPECT_EQ(error, kOk);
}

TEST_F(EngineTest, APortMustMatchThePrinters) {
  start("", "COM1,9600,8,N,1,H");
  struct Case {
    PortSettings port;
    std::int32_t error;
  };
  const Case cases[] = {
      {{FPD_DEVICE_SERIAL, "COM1,9600,8,N,1,H", ""}, kOk},
      {{FPD_DEVICE_SERIAL, "COM7,9600,8,N,1,N", ""}, kOk}, // port and flow: any
      {{FPD_DEVICE_SERIAL, "COM1,19200,8,N,1,H", ""}, kPrinterNotAnswering},
      {{FPD_DEVICE_SERIAL, "COM1,9600,7,N,1,H", ""}, kPrinterNotAnswering},
      {{FPD_DEVICE_SERIAL, "COM1,9600,8,E,1,H", ""}, kPrinterNotAnswering},
      {{FPD_DEVICE_SERIAL, "COM1,9600,8,N,2,H", ""}, kPrinterNotAnswering},
      {{FPD_DEVICE_SERIAL, "COM1,9601,8,N,1,H", ""}, kBadSerialSettings},
      {{FPD_DEVICE_USB, "", "VP0001"}, kOk},
      {{FPD_DEVICE_USB, "", "VP0002"}, kUsbDeviceNotFound},
  };
  for (const Case &c : cases) {
    std::int32_t error = -1;
    auto session = engine_->connect(c.port, nullptr, nullptr, &error);
    EXPECT_EQ(error, c.error) << c.port.comSettings << c.port.usbSerial;
    EXPECT_EQ(session != nullptr, c.error == kOk);
  }
}

// The printer's own script counts from when it was switched on; a session's
// timed changes end with the session.
TEST_F(EngineTest, ASessionsChangesEndWithIt) {
  start("at 1000 cover open");
  auto session = connect("at 500 paper out");
  session->close();
  clock_->advance(2000);
  const EngineSnapshot snap = engine_->snapshot();
  EXPECT_FALSE(snap.paperOut);
  EXPECT_TRUE(snap.coverOpen);
  EXPECT_FALSE(snap.connected);
}

TEST_F(EngineTest, ScriptsAppliedLaterCountFromThen) {
  start();
  auto session = connect();
  clock_->advance(5000);
  engine_->applyScript(*script("at 100 cover open\npapfeed status 4"));
  EXPECT_FALSE(engine_->snapshot().coverOpen);
  clock_->advance(100);
  EXPECT_TRUE(engine_->snapshot().coverOpen);
  engine_->setCoverOpen(false);
  const RequestId id = posted(*session, "papfeed", "ln,1");
  EXPECT_EQ(session->wait(id, 1000), kOk);
  EXPECT_EQ(session->status(id), kOutOfRange);
}

TEST_F(EngineTest, AnIncomingCallFollowsTheClockAndThePolls) {
  start();
  auto session = connect();
  const ModemSettings modem{true, "ATZ", "ATD123"};
  std::vector<std::int32_t> states;
  for (int poll = 0; poll < 5; ++poll) {
    states.push_back(session->modemStatus(modem));
    clock_->advance(1000);
  }
  EXPECT_EQ(states, (std::vector<std::int32_t>{0, 10, 50, 100, 100}));
  EXPECT_EQ(session->modemStatus({false, "ATZ", "ATD123"}), -1);
}

TEST_F(EngineTest, DiallingTakesItsTime) {
  start();
  auto session = connect();
  EXPECT_EQ(session->modemDial({true, "ATZ", "ATD123"}), kOk);
  EXPECT_EQ(clock_->now(), 1500u);
  EXPECT_EQ(session->modemStatus({true, "ATZ", "ATD123"}), FPD_MODEM_CONNECTED);
  EXPECT_EQ(session->modemDial({true, "ATZ", "X"}), kBadModemCommand);
  EXPECT_EQ(session->modemDial({false, "ATZ", "ATD123"}), kNotAModem);
}

// A stopped printer answers no more, and blocks nobody.
TEST_F(EngineTest, ASessionOfAStoppedPrinterFailsAtOnce) {
  start();
  auto session = connect();
  const RequestId id = posted(*session, "papfeed", "ln,1");
  engine_->stop();
  EXPECT_EQ(session->wait(id, 10000), kInvalidHandle);
  EXPECT_EQ(session->create("papfeed", std::nullopt), 0u);
  EXPECT_NE(session->post(id, FPD_POST_NORMAL), kOk);
}

} // namespace
} // namespace talmer
