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

TEST(HeaderLines, MailerLineNamesTheVersion) {
  char out[64];
  EXPECT_EQ(MailerLine(0x0350, out, sizeof out), 38);
  EXPECT_STREQ(out, "X-Mailer: Orvandel Kovmail Version 3.5");
  MailerLine(0x0A12, out, sizeof out);
  EXPECT_STREQ(out, "X-Mailer: Orvandel Kovmail Version 10.1");
}

TEST(HeaderLines, MessageIdTakesTheSendersDomain) {
  const MessageIdStamp stamp = {1700000000u, 4242u, 77u, 3u};
  struct Case {
    const char* sender;
    const char* line;
  } cases[] = {
      {"Joe <joe@example.com>", "Message-ID: <1700000000.4242.77.3@example.com>"},
      {"joe@mail.example.org", "Message-ID: <1700000000.4242.77.3@mail.example.org>"},
      {"\"a@b\" <x@sub-1.example.net> (work)", "Message-ID: <1700000000.4242.77.3@sub-1.example.net>"},
      {"<joe>", "Message-ID: <1700000000.4242.77.3@localhost>"},
      {"", "Message-ID: <1700000000.4242.77.3@localhost>"},
      {"joe@<bad>", "Message-ID: <1700000000.4242.77.3@localhost>"},
  };
  for (const auto& t : cases) {
    char out[100];
    MessageIdLine(stamp, t.sender, out, sizeof out);
    EXPECT_STREQ(out, t.line) << t.sender;
  }
  char small[12];
  EXPECT_EQ(MessageIdLine(stamp, "a@b.c", small, sizeof small), 11);
  EXPECT_STREQ(small, "Message-ID:");
}

TEST(HeaderLines, HasHeaderNamedLooksAtLineStartsOnly) {
  struct Case {
    const char* block;
    bool found;
  } cases[] = {
      {"Message-ID: <a@b>", true},
      {"X-A: 1\r\nmessage-id : <a@b>", true},
      {"X-A: 1\nMESSAGE-ID:<a@b>\r\n", true},
      {"X-Message-ID: <a@b>", false},
      {"X-A: Message-ID: <a@b>", false},
      {"Message-IDs: 2", false},
      {"", false},
      {nullptr, false},
  };
  for (const auto& t : cases) EXPECT_EQ(HasHeaderNamed(t.block, "Message-ID"), t.found) << (t.block ? t.block : "null");
}

}  // namespace
