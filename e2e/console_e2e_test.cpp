// The programs' texts on a terminal: shown in UTF-8 when the terminal's locale
// is UTF-8, otherwise passed as the code page 1250 bytes they are, as into a
// pipe.
#include "e2e/harness.h"

#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace {

using Variables = std::vector<std::pair<std::string, std::string>>;

// The first lines of fiscal_menu, which it prints before it reads the menu's
// choice; the program ends there, its input being empty.
const std::string kMenuStart = "Status drukarki - Drukarka: 0, Mechanizm: 0\n"
                               "Wybierz opcję i naciśnij ENTER\n"
                               "(0) Zakoncz.\n";

TEST(ConsoleCharacterSet, JudgedByTheTerminalsLocale) {
  if (e2e::windowsBuild())
    GTEST_SKIP() << "a Windows build judges the console by its code page";
  struct Case {
    std::string name;
    bool onTerminal;
    Variables locale; ///< the only locale variables the program gets
    bool utf8;        ///< whether the texts arrive in UTF-8
  } cases[] = {
      {"no locale at all", true, {}, false},
      {"LC_ALL=C.UTF-8", true, {{"LC_ALL", "C.UTF-8"}}, true},
      {"LC_CTYPE=C.UTF-8", true, {{"LC_CTYPE", "C.UTF-8"}}, true},
      {"LANG=C.UTF-8", true, {{"LANG", "C.UTF-8"}}, true},
      {"a spelling that names the same locale", true, {{"LC_ALL", "C.Utf-8"}}, true},
      {"LC_ALL=C over LANG=C.UTF-8",
       true,
       {{"LC_ALL", "C"}, {"LANG", "C.UTF-8"}},
       false},
      {"LC_CTYPE=C over LANG=C.UTF-8",
       true,
       {{"LC_CTYPE", "C"}, {"LANG", "C.UTF-8"}},
       false},
      {"a locale that this system doesn't have",
       true,
       {{"LANG", "xx_XX.UTF-8"}},
       false},
      {"a pipe, whatever the locale", false, {{"LC_ALL", "C.UTF-8"}}, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    e2e::Run run;
    run.program = "fiscal_menu";
    run.onTerminal = c.onTerminal;
    run.unset = {"LC_ALL", "LC_CTYPE", "LANG"};
    run.env = c.locale;
    run.timeoutSeconds = 10;
    const e2e::Result result = e2e::run(run);
    EXPECT_EQ(result.exitCode, 0);
    const std::string expected = c.utf8 ? kMenuStart : e2e::cp1250(kMenuStart);
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
  }
}

} // namespace
