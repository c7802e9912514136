#include "platform/cp1250.h"

#include <gtest/gtest.h>

TEST(Cp1250, PolishLettersBothWays) {
  // "Zażółć gęślą jaźń" and the capitals of the Polish alphabet.
  const std::string utf8 = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ";
  const std::string bytes = "Za\xBF\xF3\xB3\xE6 g\xEA\x9C"
                            "l\xB9 ja\x9F\xF1 \xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF";
  EXPECT_EQ(cp1250::fromUtf8(utf8), bytes);
  EXPECT_EQ(cp1250::toUtf8(bytes), utf8);
}

TEST(Cp1250, AsciiPassesUnchanged) {
  const std::string ascii = "Printer status D: 1, P: 2\n\t~";
  EXPECT_EQ(cp1250::toUtf8(ascii), ascii);
  EXPECT_EQ(cp1250::fromUtf8(ascii), ascii);
}

TEST(Cp1250, WhatCannotBeMappedIsMarked) {
  EXPECT_EQ(cp1250::toUtf8("\x81"), "\xEF\xBF\xBD"); // undefined byte: U+FFFD
  EXPECT_EQ(cp1250::fromUtf8("日"), "?");            // not in the code page
  EXPECT_EQ(cp1250::fromUtf8("\xC5"), "?");          // cut sequence
  EXPECT_EQ(cp1250::fromUtf8("a\xFF"
                             "b"),
            "a?b"); // malformed lead byte
}
