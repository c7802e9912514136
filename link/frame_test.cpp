#include "link/frame.h"

#include <gtest/gtest.h>

namespace talmer::link {
namespace {

TEST(Frame, EveryValueComesBackAsItWent) {
  Frame sent;
  sent.verb = "CREATE";
  sent.seq = 4294967295u;
  sent.add("name", "trline")
      .add("list", "na,Bu\xB3ka\nvt,0\npr,35")
      .add("odd", std::string("a\\n\r\0z,", 8))
      .add("empty", "")
      .add("number", -65538);
  FrameReader reader;
  const std::string bytes = encode(sent);
  // A byte at a time, as a slow line may give it.
  std::optional<Frame> got;
  for (char c : bytes) {
    EXPECT_FALSE(got);
    reader.feed(std::string_view(&c, 1));
    got = reader.next();
  }
  ASSERT_TRUE(got);
  EXPECT_EQ(got->verb, "CREATE");
  EXPECT_EQ(got->seq, 4294967295u);
  EXPECT_EQ(got->fields, sent.fields);
  EXPECT_EQ(got->number("number", -70000, 0), -65538);
  EXPECT_EQ(got->number("number", 0, 10), std::nullopt);
  EXPECT_EQ(got->number("name", 0, 10), std::nullopt);
  EXPECT_EQ(got->text("missing"), std::nullopt);
}

TEST(Frame, FramesFollowOneAnother) {
  Frame a, b;
  a.verb = "WAIT";
  a.add("id", 1).add("ms", 10000);
  b.verb = "CLOSE";
  b.seq = 2;
  FrameReader reader;
  reader.feed(encode(a) + encode(b));
  EXPECT_EQ(reader.next()->verb, "WAIT");
  EXPECT_EQ(reader.next()->verb, "CLOSE");
  EXPECT_FALSE(reader.next());
  EXPECT_FALSE(reader.broken());
}

struct Bad {
  const char *name;
  std::string bytes;
};

// Whatever isn't a frame breaks the stream for good, at once, whatever comes
// after it; nothing that is waited for grows beyond its bound.
TEST(Frame, WhatIsNotAFrameBreaksTheStream) {
  const Bad cases[] = {
      {"no verb", " 1 0\n"},
      {"small letters", "post 1 0\n"},
      {"a verb too long", "ABCDEFGHIJKLMNOPQ 1 0\n"},
      {"no length", "POST 1\n"},
      {"a sign", "POST -1 0\n"},
      {"a sequence too large", "POST 4294967296 0\n"},
      {"letters in the length", "POST 1 1x\n"},
      {"a body too large", "POST 1 " + std::to_string(kMaxBodyBytes + 1) + "\n"},
      {"a length of too many digits", "POST 1 000000001\n"},
      {"a header without its end", std::string(41, 'A')},
      {"a field without a comma", "POST 1 5\nmode\n"},
      {"a field without its end", "POST 1 6\nmode,0"},
      {"a capital in a key", "POST 1 7\nMode,0\n"},
      {"an empty key", "POST 1 3\n,0\n"},
      {"a bad escape", "POST 1 8\nmode,\\x\n"},
      {"an escape cut off", "POST 1 7\nmode,\\\n"},
  };
  for (const Bad &c : cases) {
    FrameReader reader;
    reader.feed(c.bytes);
    EXPECT_FALSE(reader.next()) << c.name;
    EXPECT_TRUE(reader.broken()) << c.name;
    reader.feed("CLOSE 2 0\n");
    EXPECT_FALSE(reader.next()) << c.name;
  }
}

TEST(Frame, AWholeBodyIsAwaited) {
  FrameReader reader;
  reader.feed("POST 1 12\nid,1\n");
  EXPECT_FALSE(reader.next());
  EXPECT_FALSE(reader.broken());
  reader.feed("mode,0\n");
  const std::optional<Frame> frame = reader.next();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->number("mode", 0, 2), 0);
}

} // namespace
} // namespace talmer::link
