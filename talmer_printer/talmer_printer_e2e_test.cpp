// talmer_printer end to end: the programs against a printer process started
// on free ports, its port rules, its link's faults, its HTTP API, and its
// command line. The programs may be the Windows build (under Wine); the
// printer is always this build's own.
#include "e2e/harness.h"
#include "e2e/printer.h"
#include "e2e/test_folder.h"
#include "link/frame.h"
#include "platform/socket.h"

#include <condition_variable>
#include <gtest/gtest.h>
#include <httplib.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

namespace {

using Lines = std::vector<std::string>;

constexpr const char *kSettings = "COM1,9600,8,N,1,H";

httplib::Client client(const e2e::Printer &printer) {
  httplib::Client c("http://" + printer.panel());
  c.set_read_timeout(30, 0);
  return c;
}

nlohmann::json state(const e2e::Printer &printer) {
  httplib::Client c = client(printer);
  auto res = c.Get("/api/state");
  if (!res || res->status != 200) return nlohmann::json();
  return nlohmann::json::parse(res->body);
}

std::string roll(const e2e::Printer &printer) {
  httplib::Client c = client(printer);
  auto res = c.Get("/api/roll");
  return res ? res->body : std::string();
}

int post(const e2e::Printer &printer, const std::string &path, const std::string &body,
         std::string *answer = nullptr) {
  httplib::Client c = client(printer);
  auto res = c.Post(path, body, "text/plain");
  if (!res) return -1;
  if (answer != nullptr) *answer = res->body;
  return res->status;
}

/// A run of a program against the printer.
e2e::Run over(const e2e::Printer &printer, const std::string &program,
              std::vector<std::string> args = {"SERIAL", kSettings},
              std::string input = "", std::string script = "") {
  e2e::Run run;
  run.program = program;
  run.args = std::move(args);
  run.input = std::move(input);
  run.script = std::move(script);
  run.env = {{"TALMER_PRINTER", printer.link()}};
  return run;
}

std::size_t count(const std::string &text, const std::string &what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + what.size()))
    ++n;
  return n;
}

/// The printer's event stream, followed on a thread of its own: a test waits
/// for what it needs to see instead of for a time.
class Events {
public:
  explicit Events(const e2e::Printer &printer) : client_(client(printer)) {
    thread_ = std::thread([this] {
      client_.Get("/api/events", [this](const char *data, std::size_t size) {
        std::lock_guard<std::mutex> lock(mutex_);
        text_.append(data, size);
        changed_.notify_all();
        return !stopping_;
      });
    });
    EXPECT_TRUE(waitFor(": talmer_printer")); // the stream is open
  }
  ~Events() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    client_.stop();
    thread_.join();
  }

  /// Waits until the stream has carried the text (after what was seen before).
  bool waitFor(const std::string &what, int seconds = 30) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool seen = changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
      return text_.find(what, from_) != std::string::npos;
    });
    if (seen)
      from_ = text_.find(what, from_) + what.size();
    else
      ADD_FAILURE() << "the event stream carried no \"" << what << "\" in:\n"
                    << text_.substr(from_);
    return seen;
  }

private:
  httplib::Client client_;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
  std::size_t from_ = 0;
  bool stopping_ = false;
};

// ---- The programs over the link ---------------------------------------------------

TEST(PrinterProcess, KeepsTheReceiptsOfOneProgramAfterAnother) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  const e2e::Result first = e2e::run(over(printer, "plain_receipt"));
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.out, "Printer status D:0, P0\n");
  EXPECT_NE(roll(printer).find("Bułka Standardowa"), std::string::npos);
  EXPECT_EQ(state(printer)["receiptNumber"], 1);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
  EXPECT_EQ(state(printer)["receiptNumber"], 2);
  EXPECT_EQ(count(roll(printer), "PARAGON FISKALNY"), 2u);
}

TEST(PrinterProcess, KeepsItsMemoryAcrossItsOwnRuns) {
  const e2e::TestFolder folder;
  const std::vector<std::string> files{"--state", folder.file("memory"), "--paper",
                                       folder.file("roll")};
  {
    e2e::Printer printer(files);
    ASSERT_TRUE(printer.started()) << printer.errors();
    EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
    EXPECT_EQ(printer.stop(), 0); // SIGTERM: a clean end
  }
  e2e::Printer printer(files);
  ASSERT_TRUE(printer.started()) << printer.errors();
  EXPECT_EQ(state(printer)["receiptNumber"], 1);
  EXPECT_EQ(count(roll(printer), "Paragon nr 1 "),
            1u); // the roll so far, from its file
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
  EXPECT_EQ(state(printer)["receiptNumber"], 2);
  EXPECT_NE(e2e::fileContent(folder.file("memory")).find("receipt-number 2\n"),
            std::string::npos);
}

// ---- The port rules -----------------------------------------------------------------

TEST(PrinterPort, OneProgramAtATimeAndAProgramGoneFreesItAtOnce) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  Events events(printer);
  {
    e2e::Process holder(over(printer, "fiscal_menu"));
    ASSERT_TRUE(holder.waitForOutput("(19) "));
    const e2e::Result second = e2e::run(over(printer, "plain_receipt"));
    EXPECT_EQ(second.exitCode, 4);
    EXPECT_EQ(second.out, e2e::cp1250("Error Opening device: 0x10018 Drukarka jest "
                                      "zajęta przez inny program\n"));
    holder.kill(); // the program dies with the printer open
    EXPECT_TRUE(events.waitFor("\"connected\":false"));
  }
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
}

TEST(PrinterPort, ALineThatDoesNotMatchThePrintersGetsNoAnswer) {
  e2e::Printer printer({"--serial", kSettings, "--usb", "VP0042"});
  ASSERT_TRUE(printer.started()) << printer.errors();
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string out; ///< UTF-8
  };
  const Case cases[] = {
      {{"SERIAL", "COM2,9600,8,N,1,N"}, 0, "Printer status D:0, P0\n"},
      {{"SERIAL", "COM1,19200,8,N,1,H"},
       4,
       "Error Opening device: 0x10015 Drukarka nie odpowiada\n"},
      {{"SERIAL", "COM1,9600,7,E,1,H"},
       4,
       "Error Opening device: 0x10015 Drukarka nie odpowiada\n"},
      {{"SERIAL", "COM1,9601,8,N,1,H"},
       4,
       "Error Opening device: 0x10008 Błędne ustawienia portu szeregowego\n"},
      {{"USB", "VP0042"}, 0, "Devices: VP0042\nPrinter status D:0, P0\n"},
      {{"USB", "VP0001"},
       4,
       "Devices: VP0042\nError Opening device: 0x1000a Nie znaleziono urządzenia USB "
       "o tym numerze\n"},
  };
  for (const Case &c : cases) {
    const e2e::Result result = e2e::run(over(printer, "plain_receipt", c.args));
    EXPECT_EQ(result.exitCode, c.exitCode) << c.args[1];
    EXPECT_EQ(result.out, e2e::cp1250(c.out)) << c.args[1];
  }
}

// An address where something listens but never answers: the opening gives up
// in its time, as on a line to a printer that is off.
TEST(PrinterPort, APrinterThatDoesNotAnswerFailsTheOpening) {
  std::uint16_t port = 0;
  const platform::Socket silent = platform::listenTcp("127.0.0.1", 0, &port);
  ASSERT_NE(silent, platform::kNoSocket);
  e2e::Run run;
  run.program = "plain_receipt";
  run.args = {"SERIAL", kSettings};
  run.env = {{"TALMER_PRINTER", "127.0.0.1:" + std::to_string(port)}};
  const e2e::Result result = e2e::run(run);
  platform::closeSocket(silent);
  EXPECT_EQ(result.exitCode, 4);
  EXPECT_EQ(result.out,
            e2e::cp1250("Error Opening device: 0x10015 Drukarka nie odpowiada\n"));
}

// ---- The printer's own faults ------------------------------------------------------

TEST(PrinterFaults, PaperOutFromTheApiRefusesTheReceipt) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  EXPECT_EQ(post(printer, "/api/paper", "out"), 200);
  const e2e::Result refused = e2e::run(over(printer, "plain_receipt"));
  EXPECT_EQ(refused.out, "Printer status D:1, P1\n");
  EXPECT_EQ(roll(printer), "");
  EXPECT_EQ(state(printer)["receiptNumber"], 0);
  EXPECT_EQ(post(printer, "/api/paper", "in\n"), 200);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).out, "Printer status D:0, P0\n");
  EXPECT_EQ(count(roll(printer), "PARAGON FISKALNY"), 1u);
}

TEST(PrinterFaults, ACoverOpenedWhileStatusEventWatchesIsSeen) {
  e2e::Printer printer({}, 1);
  ASSERT_TRUE(printer.started()) << printer.errors();
  e2e::Run run = over(printer, "status_event");
  run.timeScale = 1; // its waits last a real second each
  e2e::Process watcher(run);
  ASSERT_TRUE(watcher.waitForOutput("Oczekuje"));
  EXPECT_EQ(post(printer, "/api/cover", "open"), 200);
  EXPECT_TRUE(watcher.waitForOutput("Printer status D: 1, P: 2\n"));
  watcher.kill();
}

// The cable pulled while fiscal_menu waits for "trline": its status line and
// prompt, the status query failing; the cable back and T: the receipt is
// done, once.
TEST(PrinterFaults, TheCablePulledDuringAWaitAndPluggedBack) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  const std::string prompt = e2e::cp1250(
      "Nie otrzymano odpowiedzi na polecenie, czy czekać dalej (T/N + ENTER)\n");
  // trline takes 20 s of the printer's time: the first wait runs out.
  e2e::Process menu(over(printer, "fiscal_menu", {"SERIAL", kSettings}, "7\n",
                         "trline busy 20000\n"));
  ASSERT_TRUE(menu.waitForOutput(prompt));
  EXPECT_EQ(post(printer, "/api/link", "unplugged"), 200);
  menu.write("T\n");
  // The wait runs out, the status query fails, the status line and the
  // prompt come again.
  ASSERT_TRUE(menu.waitForOutput(e2e::cp1250("Błąd: 65557 - Drukarka nie odpowiada\n") +
                                 "Status drukarki - Drukarka: 0, Mechanizm: 0\n" +
                                 prompt));
  EXPECT_EQ(post(printer, "/api/link", "plugged"), 200);
  menu.write("T\n0\n");
  const e2e::Result result = menu.finish();
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(count(result.out, prompt), 2u);
  EXPECT_EQ(count(roll(printer), "PARAGON FISKALNY"), 1u);
  EXPECT_EQ(state(printer)["receiptNumber"], 1);
}

// The printer process killed while fiscal_menu waits: the wait fails at once,
// the program goes its failure path and ends by itself.
TEST(PrinterFaults, ThePrinterKilledWhileAProgramWaits) {
  e2e::Printer printer({}, 1);
  ASSERT_TRUE(printer.started()) << printer.errors();
  Events events(printer);
  e2e::Run run = over(printer, "fiscal_menu", {"SERIAL", kSettings}, "7\n0\n",
                      "trline busy 60000\n");
  run.timeScale = 1;
  run.timeoutSeconds = 30;
  e2e::Process menu(run);
  ASSERT_TRUE(events.waitFor("WAIT id=2 ms=10000"));
  printer.kill();
  const e2e::Result result = menu.finish();
  EXPECT_EQ(result.exitCode, 0);
  const std::string lost =
      e2e::cp1250("Błąd: 65561 - Utracono połączenie z drukarką\n");
  EXPECT_GE(count(result.out, lost), 3u); // the wait, the cancel, the status query
}

// ---- A link that isn't one
// -----------------------------------------------------------

TEST(PrinterLink, WhatIsNotAFrameEndsThatConnectionAndTheRestGoesOn) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  const std::string cases[] = {
      "garbage\n",
      "POST 1 99999999\n",
      "OPENING 1 0\n",
      "CREATE 1 12\nid,1\nname,x\n", // before OPEN
      "OPEN 1 9\nversion,\\q\n",
      "LIST 1 0\n" + std::string(70000, 'x'),
  };
  std::string host;
  std::uint16_t port = 0;
  ASSERT_TRUE(platform::splitAddress(printer.link(), &host, &port));
  for (const std::string &bytes : cases) {
    const platform::Socket s = platform::connectTcp(host, port, 5000);
    ASSERT_NE(s, platform::kNoSocket);
    platform::sendAll(s, bytes.data(), bytes.size());
    // The printer closes the connection: what it answers, then the end.
    char buffer[4096];
    long got = 0;
    while ((got = platform::receiveSome(s, buffer, sizeof buffer, 10000)) > 0) {
    }
    EXPECT_EQ(got, 0) << bytes.substr(0, 20);
    platform::closeSocket(s);
  }
  EXPECT_NE(printer.errors().find("the connection is closed"), std::string::npos);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
}

// While the cable is pulled, frames wait on the line within a bound of bytes
// too: a few of the largest end that connection, not the printer's memory.
TEST(PrinterLink, FramesOnAPulledCableAreBoundedInBytes) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  ASSERT_EQ(post(printer, "/api/link", "unplugged"), 200);
  std::string host;
  std::uint16_t port = 0;
  ASSERT_TRUE(platform::splitAddress(printer.link(), &host, &port));
  const platform::Socket s = platform::connectTcp(host, port, 5000);
  ASSERT_NE(s, platform::kNoSocket);
  talmer::link::Frame large;
  large.verb = "LIST";
  large.add("xx", std::string(2 << 20, 'a'));
  for (std::uint32_t seq = 1; seq <= 9; ++seq) {
    large.seq = seq;
    const std::string bytes = talmer::link::encode(large);
    if (!platform::sendAll(s, bytes.data(), bytes.size())) break;
  }
  char buffer[4096];
  long got = 0;
  while ((got = platform::receiveSome(s, buffer, sizeof buffer, 10000)) > 0) {
  }
  EXPECT_NE(got, -2) << "the connection is still open"; // closed, or reset
  platform::closeSocket(s);
  EXPECT_NE(printer.errors().find("bytes on the line; the connection is closed"),
            std::string::npos)
      << printer.errors();
  ASSERT_EQ(post(printer, "/api/link", "plugged"), 200);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
}

// A call whose text is cut for the panel inside a Polish letter is shown cut
// before the letter; nothing of it harms the printer.
TEST(PrinterLink, ACallCutInsideALetterIsShownWhole) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  Events events(printer);
  std::string host;
  std::uint16_t port = 0;
  ASSERT_TRUE(platform::splitAddress(printer.link(), &host, &port));
  talmer::link::Frame list;
  list.verb = "LIST";
  list.seq = 1;
  list.add("xx", std::string(56, 'a') + "\xB3" + std::string(10, 'a')); // cp1250 ł
  const std::string bytes = talmer::link::encode(list);
  const platform::Socket s = platform::connectTcp(host, port, 5000);
  ASSERT_NE(s, platform::kNoSocket);
  platform::sendAll(s, bytes.data(), bytes.size());
  EXPECT_TRUE(events.waitFor("\"call\":\"LIST xx=" + std::string(56, 'a') + "...\""));
  platform::closeSocket(s);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
}

// ---- The HTTP API
// ----------------------------------------------------------------------

TEST(PrinterApi, TheControlsChangeTheState) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  const nlohmann::json before = state(printer);
  EXPECT_EQ(before["paper"], "in");
  EXPECT_EQ(before["cover"], "closed");
  EXPECT_EQ(before["link"], "plugged");
  EXPECT_EQ(before["connected"], false);
  EXPECT_EQ(before["status"], nlohmann::json({{"global", 0}, {"printer", 0}}));
  std::string answer;
  EXPECT_EQ(post(printer, "/api/cover", "open", &answer), 200);
  EXPECT_EQ(nlohmann::json::parse(answer)["status"]["printer"], 2);
  EXPECT_EQ(post(printer, "/api/link", "unplugged"), 200);
  EXPECT_EQ(state(printer)["link"], "unplugged");
  EXPECT_EQ(post(printer, "/api/script", "at 0 status 7 8\n"), 200);
  EXPECT_EQ(state(printer)["status"], nlohmann::json({{"global", 7}, {"printer", 8}}));
}

TEST(PrinterApi, BadInputIsRefusedWithAReasonAndChangesNothing) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  const nlohmann::json before = state(printer);
  struct Case {
    std::string path, body;
    int status;
    std::string reason;
  };
  const Case cases[] = {
      {"/api/paper", "sideways", 400, "paper: the body must be out or in\n"},
      {"/api/cover", "", 400, "cover: the body must be open or closed\n"},
      {"/api/link", "maybe", 400, "link: the body must be unplugged or plugged\n"},
      {"/api/script", "at 0 paper out\nexplode\n", 400,
       "script: line 2: not understood: explode\n"},
      {"/api/script", "handle fail\n", 400,
       "script: handle fail belongs to the program's own script (TALMER_SIM_SCRIPT), "
       "not "
       "to the printer\n"},
      {"/api/nothing", "x", 404, "no POST /api/nothing here; see GET /\n"},
      {"/api/script", std::string(70000, '#'), 413,
       "a body of more than 65536 bytes\n"},
  };
  for (const Case &c : cases) {
    std::string answer;
    EXPECT_EQ(post(printer, c.path, c.body, &answer), c.status) << c.path;
    EXPECT_EQ(answer, c.reason) << c.path;
  }
  nlohmann::json after = state(printer);
  after.erase("calls");
  nlohmann::json unchanged = before;
  unchanged.erase("calls");
  EXPECT_EQ(after, unchanged);
}

TEST(PrinterApi, ThePanelIsServed) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  httplib::Client c = client(printer);
  auto page = c.Get("/");
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(page->get_header_value("Content-Type").find("text/html"),
            std::string::npos);
  EXPECT_NE(page->body.find("<!doctype html>"), std::string::npos);
}

TEST(PrinterApi, PrintoutsReachTheEventStream) {
  e2e::Printer printer;
  ASSERT_TRUE(printer.started()) << printer.errors();
  Events events(printer);
  EXPECT_EQ(e2e::run(over(printer, "plain_receipt")).exitCode, 0);
  EXPECT_TRUE(events.waitFor("event: call\ndata: {\"call\":\"OPEN"));
  EXPECT_TRUE(events.waitFor("event: printout\ndata: {\"lines\":"));
  EXPECT_TRUE(events.waitFor("Bułka Standardowa"));
  EXPECT_TRUE(events.waitFor("\"receiptNumber\":1"));
}

// ---- The command line ---------------------------------------------------------------

TEST(PrinterCommandLine, BadArgumentsGiveTheUsageAndExitTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"--timescale", "0"},
      {"--timescale", "1000001"},
      {"--listen", "nohost"},
      {"--panel", "127.0.0.1:x"},
      {"--serial", "COM1,1,8,N,1,H"},
      {"--script", "/nonexistent"},
      {"--bogus"},
      {"extra"},
  };
  for (const auto &args : cases) {
    e2e::Printer printer(args);
    EXPECT_FALSE(printer.started()) << args[0];
    EXPECT_EQ(printer.stop(), 2) << args[0];
    EXPECT_NE(printer.errors().find("Usage: talmer_printer"), std::string::npos)
        << args[0];
  }
}

TEST(PrinterCommandLine, ABadScriptIsRefusedWithItsReason) {
  const e2e::TestFolder folder;
  const std::string script = folder.file("script");
  struct Case {
    const char *text;
    std::string reason;
  };
  const Case cases[] = {
      {"papfeed never\nat 5 explode\n", "line 2: not understood: at 5 explode"},
      // What belongs to the program's own script has no place in the printer's.
      {"usb-devices \"VP0042\"\n", "usb-devices belongs to the program's own script "
                                   "(TALMER_SIM_SCRIPT), not to the printer"},
  };
  for (const Case &c : cases) {
    e2e::writeFile(script, c.text);
    e2e::Printer printer({"--script", script});
    EXPECT_FALSE(printer.started()) << c.text;
    EXPECT_EQ(printer.stop(), 2) << c.text;
    EXPECT_EQ(printer.errors(),
              "talmer_printer: --script " + script + ": " + c.reason + "\n");
  }
}

TEST(PrinterCommandLine, ADamagedMemoryKeepsThePrinterOff) {
  const e2e::TestFolder folder;
  const std::string memory = folder.file("memory");
  e2e::writeFile(memory, "not a memory\n");
  e2e::Printer printer({"--state", memory});
  EXPECT_FALSE(printer.started());
  EXPECT_EQ(printer.stop(), 1);
  EXPECT_NE(printer.errors().find("0x10013 Uszkodzony plik pamięci fiskalnej"),
            std::string::npos);
  EXPECT_EQ(e2e::fileContent(memory), "not a memory\n");
}

} // namespace
