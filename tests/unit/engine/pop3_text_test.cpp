// The pure POP3 text readings: reply numbers, the APOP time stamp, the lines
// that end a response.
#include <gtest/gtest.h>

#include <string>

#include "engine/pop3/text.h"

namespace {

TEST(Pop3Text, ReplyNumbers) {
  struct Case {
    const char* reply;
    int32_t stat;
    int32_t list;
  } cases[] = {
      {"+OK 2 320\r\n", 2, 320},
      {"+OK 12345678901 5\r\n", INT32_MAX, 5},  // every digit counts, not the first ten
      {"+OK 9999999999 4294967296\r\n", INT32_MAX, INT32_MAX},
      {"+OK 1 18446744073709551617\r\n", 1, INT32_MAX},  // past 64 bits too
      {"+OK 2147483647 2147483648\r\n", INT32_MAX, INT32_MAX},
      {"+OK 0000000000003 7\r\n", 3, 7},  // leading zeros are no size
      {"+OK none\r\n", 0, 0},
      {"+OK", 0, 0},
      {"+O", 0, 0},
      {"+OK 7\r\n", 7, 0},  // no second blank
      {"+OK 1 12x\r\n", 1, 12},
      {"+OK  3 9\r\n", 0, 3},
      {"", 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StatCount(c.reply), c.stat) << c.reply;
    EXPECT_EQ(ListSize(c.reply), c.list) << c.reply;
  }
  EXPECT_EQ(StatCount(nullptr), 0);
  EXPECT_EQ(ListSize(nullptr), 0);
}

TEST(Pop3Text, ApopTimestamp) {
  const std::string fits = "<" + std::string(126, 'x') + ">";  // 128 characters
  struct Case {
    std::string greeting;
    std::string stamp;
  } cases[] = {
      {"+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n", "<1896.697170952@dbc.mtview.ca.us>"},
      {"+OK a > b <c> <d>\r\n", "<c>"},
      {"+OK <a<b>\r\n", "<a<b>"},
      {"+OK <no end\r\n", ""},
      {"+OK end> only\r\n", ""},
      {"+OK " + fits + "\r\n", fits},
      {"+OK <" + std::string(127, 'x') + ">\r\n", ""},  // 129 characters do not fit
  };
  for (const Case& c : cases) {
    char out[129] = "junk";
    EXPECT_EQ(ApopTimestamp(c.greeting.c_str(), out, sizeof out), static_cast<int>(c.stamp.size())) << c.greeting;
    EXPECT_EQ(std::string(out), c.stamp) << c.greeting;
  }
}

TEST(Pop3Text, LinesThatEndAResponse) {
  struct Case {
    const char* line;
    bool message;
    bool list;
  } cases[] = {
      {".\r\n", true, true}, {".\n", false, true},     {"..\r\n", false, false}, {".x\r\n", false, true},
      {".", false, true},    {"x.\r\n", false, false}, {"", false, false},
  };
  for (const Case& c : cases) {
    const int length = static_cast<int>(std::string(c.line).size());
    EXPECT_EQ(EndsMessage(c.line, length), c.message) << c.line;
    EXPECT_EQ(EndsList(c.line, length), c.list) << c.line;
  }
}

}  // namespace
