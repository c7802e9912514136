#include "platform/console.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>

namespace {

// A stream that holds the given text, read from its start.
std::FILE *streamOf(const std::string &text) {
  std::FILE *file = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), file);
  std::rewind(file);
  return file;
}

std::string rest(std::FILE *file) {
  std::string text;
  for (int c; (c = std::getc(file)) != EOF;)
    text += static_cast<char>(c);
  return text;
}

TEST(ReadNumber, ReadsAsPercentDAndNeverWraps) {
  using console::NumberRead;
  struct Case {
    std::string input;
    NumberRead read;
    std::int32_t number; ///< when read
    std::string rest;    ///< what stays in the stream
  } cases[] = {
      {"7\n", NumberRead::Read, 7, "\n"},
      {" \t\n\r\n  12x\n", NumberRead::Read, 12, "x\n"},
      {"+5 3", NumberRead::Read, 5, " 3"},
      {"-19", NumberRead::Read, -19, ""},
      {"0000000000000000000000042", NumberRead::Read, 42, ""},
      {"2147483647\n", NumberRead::Read, 2147483647, "\n"},
      {"-2147483648\n", NumberRead::Read, -2147483647 - 1, "\n"},
      {"2147483648\n", NumberRead::OutOfRange, 0, "\n"},
      {"-2147483649\n", NumberRead::OutOfRange, 0, "\n"},
      {"4294967297x", NumberRead::OutOfRange, 0, "x"},
      {"-4294967295", NumberRead::OutOfRange, 0, ""},
      {"99999999999999999999999999999999999999 1", NumberRead::OutOfRange, 0, " 1"},
      {"abc\n", NumberRead::NotANumber, 0, "abc\n"},
      {"-x\n", NumberRead::NotANumber, 0, "x\n"},
      {"+\n", NumberRead::NotANumber, 0, "\n"},
      {"-", NumberRead::NotANumber, 0, ""},
      {"", NumberRead::EndOfInput, 0, ""},
      {" \n\n ", NumberRead::EndOfInput, 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.input);
    std::FILE *file = streamOf(c.input);
    ASSERT_NE(file, nullptr);
    std::int32_t number = 0;
    EXPECT_EQ(console::readNumber(number, file), c.read);
    EXPECT_EQ(number, c.number);
    EXPECT_EQ(rest(file), c.rest);
    std::fclose(file);
  }
}

} // namespace
