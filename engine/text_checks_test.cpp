#include "engine/text_checks.h"

#include <gtest/gtest.h>

namespace talmer {
namespace {

TEST(SerialSettings, AcceptsWhatAPortTakes) {
  for (const char *good :
       {"COM1,9600,8,N,1,H", "COM16,115200,7,E,2,S", "COM9,1200,8,O,1,N"})
    EXPECT_TRUE(validSerialSettings(good)) << good;
  for (const char *bad :
       {"", "COM0,9600,8,N,1,H", "COM17,9600,8,N,1,H", "COM01,9600,8,N,1,H",
        "com1,9600,8,N,1,H", "COM1,9601,8,N,1,H", "COM1,9600,9,N,1,H",
        "COM1,9600,8,X,1,H", "COM1,9600,8,N,3,H", "COM1,9600,8,N,1,Q",
        "COM1,9600,8,N,1", "COM1,9600,8,N,1,H,"})
    EXPECT_FALSE(validSerialSettings(bad)) << bad;
}

TEST(ModemCommand, AcceptsAtCommandLines) {
  for (const char *good :
       {"AT", "ATDT!", "AT&S0=0", "at&f e0 v1", "ATDT 0,22 555-12-34"})
    EXPECT_TRUE(validModemCommand(good)) << good;
  for (const char *bad : {"", "A", "DT123", "ATD\n", "AT{}", "AT\xB3"})
    EXPECT_FALSE(validModemCommand(bad)) << bad;
  EXPECT_FALSE(validModemCommand("AT" + std::string(61, '0')));
}

TEST(ParamList, SplitsLinesAtTheirFirstComma) {
  const std::optional<Fields> fields = parseParamList("to,10000\nna,a,b\nfp,");
  ASSERT_TRUE(fields);
  ASSERT_EQ(fields->size(), 3u);
  EXPECT_EQ((*fields)[0].name, "to");
  EXPECT_EQ((*fields)[0].value, "10000");
  EXPECT_EQ((*fields)[1].value, "a,b");
  EXPECT_EQ((*fields)[2].value, "");
  for (const char *bad : {"", "bm", ",5", "bm,0\n", "bm,0\n\nna,1", "\nbm,0"})
    EXPECT_FALSE(parseParamList(bad)) << bad;
}

TEST(UsbListing, NamesTheSerialNumbers) {
  EXPECT_EQ(splitListing("VP0001;VP0042"),
            (std::vector<std::string>{"VP0001", "VP0042"}));
  EXPECT_TRUE(splitListing("").empty());
}

} // namespace
} // namespace talmer
