#include "response_text.h"

#include <gtest/gtest.h>

namespace kovmail {
namespace {

TEST(ResponseBodyTest, StatusLineDroppedLineEndsMadeLf) {
  struct Case {
    const char* response;
    const char* body;
  } cases[] = {
      {"+OK\r\nSubject: hi\r\n\r\n.dot\r\nline 2\r\n", "Subject: hi\n\n.dot\nline 2\n"},
      {"+OK\r\n1 abc\r\n2 def\r\n", "1 abc\n2 def\n"},
      {"+OK\r\n", ""},
      {"+OK no line end", ""},
      {"+OK\r\ncut off", "cut off\n"},  // a text cut at the buffer's end still ends its line
      {"+OK\r\nbare\rCR\r\n", "bare\rCR\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(ResponseBody(c.response), c.body) << c.response;
}

TEST(SplitListTest, EntriesWithoutEmptyOnes) {
  EXPECT_EQ(SplitList("a.pdf\x1f"
                      "b, c.txt",
                      '\x1f'),
            (std::vector<std::string>{"a.pdf", "b, c.txt"}));
  EXPECT_EQ(SplitList("\x1f"
                      "a\x1f\x1f",
                      '\x1f'),
            (std::vector<std::string>{"a"}));
  EXPECT_TRUE(SplitList("", ',').empty());
}

}  // namespace
}  // namespace kovmail
