// The virtual printer as every program meets it: its memory file held by one
// program at a time, and the files it refuses to read.
#include "e2e/harness.h"
#include "e2e/printer.h"
#include "e2e/test_folder.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

using e2e::cp1250;
using Env = std::vector<std::pair<std::string, std::string>>;

/// The line of the memory file that holds the last receipt's number.
std::string receiptNumberIn(const std::string &memory) {
  for (const std::string &line : e2e::lines(e2e::fileContent(memory)))
    if (line.starts_with("receipt-number ")) return line;
  return "";
}

e2e::Run runOf(const std::string &program, std::string input, Env env) {
  e2e::Run run;
  run.program = program;
  run.input = std::move(input);
  run.env = std::move(env);
  run.timeoutSeconds = 20;
  return run;
}

// ---- One printer, one program ---------------------------------------------

TEST(VirtualPrinter, AMemoryFileServesOneProgramAtATime) {
  if (e2e::overLink())
    GTEST_SKIP() << "over the link the printer process holds the memory file; "
                    "talmer_printer's own tests show its port rules";
  const e2e::TestFolder folder;
  const std::string memory = folder.file("memory.txt");
  const std::string roll = folder.file("roll.txt");

  e2e::Process menu(
      runOf("fiscal_menu", "", {{"TALMER_SIM_STATE", memory}, {"TALMER_PAPER", roll}}));
  ASSERT_TRUE(menu.waitForOutput("(19) Formatka 32 - Potwierdzenie zaplaty karta\n"))
      << menu.output();

  // While the menu has the printer open, a second program can't open it.
  const e2e::Result busy =
      e2e::run(runOf("plain_receipt", "", {{"TALMER_SIM_STATE", memory}}));
  EXPECT_EQ(busy.exitCode, 4);
  EXPECT_EQ(busy.out, cp1250("Error Opening device: 0x10018 Drukarka jest zajęta przez "
                             "inny program\n"));

  // The first goes on untouched: two sales, both kept and printed.
  menu.write("7\n7\n0\n");
  const e2e::Result first = menu.finish();
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(first.out.find(cp1250("Błąd")), std::string::npos) << first.out;
  EXPECT_EQ(receiptNumberIn(memory), "receipt-number 2");
  EXPECT_NE(e2e::fileContent(roll).find("Paragon nr 2"), std::string::npos);

  // Once it has ended, the printer is free again.
  const e2e::Result after =
      e2e::run(runOf("plain_receipt", "", {{"TALMER_SIM_STATE", memory}}));
  EXPECT_EQ(after.exitCode, 0) << after.out;
  EXPECT_EQ(after.out, "Printer status D:0, P0\n");
  EXPECT_EQ(receiptNumberIn(memory), "receipt-number 3");
}

// ---- Files read with bounds ---------------------------------------------------

enum class Kind { DevZero, Fifo, Directory, Script, LargeScript };

struct FileCase {
  const char *name;
  std::string variable; ///< TALMER_SIM_SCRIPT or TALMER_SIM_STATE
  Kind kind;
  std::string program;
  std::string refusal; ///< after "libtalmer: <variable> <path>: "; "" none
  std::string out;     ///< UTF-8
  int exitCode;
};

void PrintTo(const FileCase &c, std::ostream *os) {
  *os << c.name;
}

constexpr std::size_t kMaxScript = 1048576;

/// Makes the file of the case in the folder, and gives its path.
std::string made(Kind kind, const e2e::TestFolder &folder) {
  switch (kind) {
  case Kind::DevZero:
    return "/dev/zero";
  case Kind::Fifo: {
    const std::string path = folder.file("fifo");
    if (mkfifo(path.c_str(), 0600) != 0) ADD_FAILURE() << "mkfifo " << path;
    return path;
  }
  case Kind::Directory:
    fs::create_directory(folder.file("folder"));
    return folder.file("folder");
  case Kind::Script:
  case Kind::LargeScript: {
    // A comment line of the largest size taken, or one byte more.
    const std::string path = folder.file("script.txt");
    const std::size_t size = kMaxScript + (kind == Kind::LargeScript ? 1 : 0);
    e2e::writeFile(path, "#" + std::string(size - 2, '-') + "\n");
    return path;
  }
  }
  return "";
}

class VirtualPrinterFiles : public testing::TestWithParam<FileCase> {};

TEST_P(VirtualPrinterFiles, OnlyRegularFilesOfABoundedSizeAreRead) {
  const FileCase &c = GetParam();
  if (e2e::overLink() && c.variable == std::string("TALMER_SIM_STATE"))
    GTEST_SKIP() << "over the link the memory file is the printer process's";
  const e2e::TestFolder folder;
  const std::string path = made(c.kind, folder);
  e2e::Run run =
      runOf(c.program, c.program == "fiscal_menu" ? "0\n" : "", {{c.variable, path}});
  run.timeoutSeconds = 10; // a read that blocks or never ends is killed
  const e2e::Result result = e2e::run(run);
  EXPECT_EQ(result.exitCode, c.exitCode);
  EXPECT_EQ(result.out, cp1250(c.out));
  EXPECT_EQ(result.err, c.refusal.empty() ? ""
                                          : "libtalmer: " + c.variable + " " + path +
                                                ": " + c.refusal + "\n");
  // What isn't a memory file gets no lock file beside it.
  if (c.variable == "TALMER_SIM_STATE") {
    EXPECT_FALSE(fs::exists(path + ".lock"));
  }
}

const std::string kNotRegular = "not a regular file";
const std::string kNoHandle = "Could not create a device.\n";
const std::string kDamaged =
    "Error Opening device: 0x10013 Uszkodzony plik pamięci fiskalnej\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, VirtualPrinterFiles,
    testing::Values(FileCase{"ScriptDevZero", "TALMER_SIM_SCRIPT", Kind::DevZero,
                             "fiscal_menu", kNotRegular, kNoHandle, 2},
                    FileCase{"ScriptFifo", "TALMER_SIM_SCRIPT", Kind::Fifo,
                             "fiscal_menu", kNotRegular, kNoHandle, 2},
                    FileCase{"ScriptDirectory", "TALMER_SIM_SCRIPT", Kind::Directory,
                             "plain_receipt", kNotRegular, kNoHandle, 2},
                    FileCase{"ScriptTooLarge", "TALMER_SIM_SCRIPT", Kind::LargeScript,
                             "plain_receipt",
                             "too large (a script has at most 1048576 bytes)",
                             kNoHandle, 2},
                    FileCase{"ScriptOfTheLargestSize", "TALMER_SIM_SCRIPT",
                             Kind::Script, "plain_receipt", "",
                             "Printer status D:0, P0\n", 0},
                    FileCase{"MemoryDevZero", "TALMER_SIM_STATE", Kind::DevZero,
                             "plain_receipt", kNotRegular, kDamaged, 4},
                    FileCase{"MemoryFifo", "TALMER_SIM_STATE", Kind::Fifo,
                             "plain_receipt", kNotRegular, kDamaged, 4},
                    FileCase{"MemoryDirectory", "TALMER_SIM_STATE", Kind::Directory,
                             "fiscal_menu", kNotRegular, kDamaged, 4}),
    [](const auto &test) { return std::string(test.param.name); });

} // namespace
