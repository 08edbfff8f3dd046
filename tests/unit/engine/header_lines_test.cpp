// The multipart Content-Type header of a composed message.
#include <gtest/gtest.h>

#include <string>

#include "engine/compose/header_lines.h"

namespace {

TEST(HeaderLines, MessageContentType) {
  const char* b = "=====_KOV123456789_=====";
  struct Case {
    bool html, alternative;
    const char* line;
  } cases[] = {
      {true, true,
       "Content-Type: multipart/related;type=\"multipart/alternative\";\r\n boundary=\"=====_KOV123456789_=====\""},
      {true, false, "Content-Type: multipart/related; boundary=\"=====_KOV123456789_=====\""},
      {false, false, "Content-Type: multipart/mixed; boundary=\"=====_KOV123456789_=====\""},
      {false, true, "Content-Type: multipart/mixed; boundary=\"=====_KOV123456789_=====\""},
  };
  for (const auto& t : cases) {
    char out[200];
    int n = MessageContentType(t.html, t.alternative, b, out, sizeof out);
    EXPECT_STREQ(out, t.line);
    EXPECT_EQ(n, static_cast<int>(std::string(t.line).size()));
  }
  char small[10];
  EXPECT_EQ(MessageContentType(false, false, b, small, sizeof small), 9);
  EXPECT_STREQ(small, "Content-T");
}

}  // namespace
