// Header lines as the wire gets them: values that fit unchanged, line breaks
// inside values turned into folds, long lines folded at blanks or after list
// separators, extra header lines cleaned.
#include <gtest/gtest.h>

#include <string>

#include "codec/lines.h"

namespace {

// Every physical line joined with CR LF, as sent.
std::string Build(HeaderText h, int size = 1000) {
  std::string out;
  std::string line(static_cast<size_t>(size), '\0');
  for (int guard = 0; guard < 10000; ++guard) {
    int n = NextHeaderLine(h, &line[0], size);
    if (n < 0) return out;
    EXPECT_EQ(static_cast<size_t>(n), std::string(line.c_str()).size());
    EXPECT_LE(n, 998);
    EXPECT_LT(n, size);
    out += std::string(line.c_str()) + "\r\n";
  }
  ADD_FAILURE() << "no end";
  return out;
}

// What a reader gets back: CR LF before a blank removed.
std::string Unfold(std::string s) {
  for (size_t at; (at = s.find("\r\n ")) != std::string::npos || (at = s.find("\r\n\t")) != std::string::npos;)
    s.erase(at, 2);
  return s;
}

TEST(HeaderLines, ValuesThatFitAreUnchanged) {
  const std::string long998 = "Subject: " + std::string(989, 'x');
  struct Case {
    const char* prefix;
    std::string value;
  } cases[] = {
      {"To: ", "Ann <a@x.y>, Bob <b@x.y>"},   {"Subject: ", "  hello\tworld  "},
      {"Subject: ", ".starts with a period"}, {"Subject: ", "\xE9t\xE9"},
      {"Subject: ", std::string(989, 'x')},
  };
  for (const auto& t : cases) {
    EXPECT_EQ(Build(HeaderValue(t.prefix, t.value.c_str(), ',')), t.prefix + t.value + "\r\n") << t.value;
  }
  EXPECT_EQ(Build(HeaderValue("Subject: ", std::string(989, 'x').c_str())), long998 + "\r\n");
  EXPECT_EQ(Build(HeaderValue("Subject: ", "")), "Subject: \r\n");
  EXPECT_EQ(Build(HeaderValue("Subject: ", nullptr)), "Subject: \r\n");
}

TEST(HeaderLines, LineBreaksInValuesBecomeFolds) {
  struct Case {
    const char* value;
    const char* sent;
  } cases[] = {
      {"a\r\nBcc: evil@x.y", "Subject: a\r\n Bcc: evil@x.y\r\n"},
      {"a\nb\rc", "Subject: a\r\n b\r\n c\r\n"},
      {"a\r\n\r\n\n\rb", "Subject: a\r\n b\r\n"},
      {"a\r\n b", "Subject: a\r\n b\r\n"},
      {"a\r\n\tb", "Subject: a\r\n\tb\r\n"},
      {"a\r\n", "Subject: a\r\n"},
      {"a\r\n   \r\n  ", "Subject: a\r\n"},
      {"a   \r\nb", "Subject: a   \r\n b\r\n"},
      {"\r\nb", "Subject: \r\n b\r\n"},
      {"a\r\n.\r\n", "Subject: a\r\n .\r\n"},
  };
  for (const auto& t : cases) EXPECT_EQ(Build(HeaderValue("Subject: ", t.value)), t.sent) << t.value;
}

TEST(HeaderLines, LongValuesFoldBeforeTheLimit) {
  const std::string a(600, 'a'), b(600, 'b'), c(1200, 'c');
  struct Case {
    std::string value;
    char sep;
    std::string sent;
  } cases[] = {
      // At the last blank; the blank starts the continuation.
      {a + " " + b, 0, "Subject: " + a + "\r\n " + b + "\r\n"},
      {a + " x " + b, 0, "Subject: " + a + " x\r\n " + b + "\r\n"},
      // No blank: cut at 998 octets, the rest after an inserted blank.
      {c, 0, "Subject: " + c.substr(0, 989) + "\r\n " + c.substr(989) + "\r\n"},
      // A list folds after its last separator, before the blank behind it.
      {"<" + a + ">, <" + b + ">", ',', "To: <" + a + ">,\r\n <" + b + ">\r\n"},
      {"x y, <" + a + "> z <" + b + ">", ',', "To: x y,\r\n <" + a + "> z\r\n <" + b + ">\r\n"},
      // Without a blank behind the separator, one is put in.
      {"<" + a + ">;<" + b + ">", ';', "To: <" + a + ">;\r\n <" + b + ">\r\n"},
      // No separator before the limit: the last blank.
      {a + " " + b + ",x", ',', "To: " + a + "\r\n " + b + ",x\r\n"},
  };
  for (const auto& t : cases) {
    const char* prefix = t.sep != 0 ? "To: " : "Subject: ";
    std::string sent = Build(HeaderValue(prefix, t.value.c_str(), t.sep));
    EXPECT_EQ(sent, t.sent) << t.value.substr(0, 20);
  }
}

TEST(HeaderLines, AnyValueGivesBoundedLinesThatUnfoldToIt) {
  const std::string values[] = {
      std::string(5000, 'x'),
      std::string(3000, ' ') + "x",
      "x" + std::string(3000, ' ') + "y",
      std::string(2000, ',') + " " + std::string(2000, 'z'),
  };
  for (const auto& v : values) {
    for (int size : {3, 4, 10, 80, 1000, 2050}) {
      SCOPED_TRACE(size);
      std::string sent = Build(HeaderValue("To: ", v.c_str(), ','), size);
      ASSERT_GE(sent.size(), 2u);
      // Every line has text beyond its blanks, so no line can read as empty.
      for (size_t at = 0, end; (end = sent.find("\r\n", at)) != std::string::npos; at = end + 2)
        EXPECT_NE(sent.substr(at, end - at).find_first_not_of(" \t"), std::string::npos) << at;
    }
  }
  // Folds at blanks and separators give the value back exactly.
  std::string list;
  for (int i = 0; i < 300; ++i) list += (i ? ", " : "") + std::string("User ") + std::to_string(i) + " <u@x.y>";
  EXPECT_EQ(Unfold(Build(HeaderValue("To: ", list.c_str(), ','))), "To: " + list + "\r\n");
  EXPECT_EQ(Unfold(Build(HeaderValue("CC: ", list.c_str(), ','), 80)), "CC: " + list + "\r\n");
}

TEST(HeaderLines, BlocksOfHeaderLines) {
  struct Case {
    const char* block;
    const char* sent;
  } cases[] = {
      {"X-A: 1\r\nX-B: 2", "X-A: 1\r\nX-B: 2\r\n"},
      {"X-A: 1\nX-B: 2\r", "X-A: 1\r\nX-B: 2\r\n"},
      {"\r\n\r\nX-A: 1\r\n\r\n\r\nX-B: 2\r\n\r\n", "X-A: 1\r\nX-B: 2\r\n"},
      {"X-A: 1\r\n   \r\nX-B: 2", "X-A: 1\r\nX-B: 2\r\n"},
      {".\r\nX-A: 1\r\n..x", "..\r\nX-A: 1\r\n...x\r\n"},
      {"X-A: 1\r\n b", "X-A: 1\r\n b\r\n"},
      {"", ""},
      {"\r\n", ""},
      {nullptr, ""},
  };
  for (const auto& t : cases) EXPECT_EQ(Build(HeaderBlock(t.block)), t.sent) << (t.block ? t.block : "null");
  const std::string a(700, 'a'), b(700, 'b');
  const std::string longLine = "X-Long: " + a + " " + b;
  EXPECT_EQ(Build(HeaderBlock(longLine.c_str())), "X-Long: " + a + "\r\n " + b + "\r\n");
  const std::string dotted = "." + std::string(998, 'd');
  EXPECT_EQ(Build(HeaderBlock(dotted.c_str())), "." + dotted.substr(0, 997) + "\r\n " + dotted.substr(997) + "\r\n");
}

TEST(HeaderLines, TinyOrMissingBuffersBuildNothing) {
  HeaderText h = HeaderValue("To: ", "a");
  char out[2] = {'x', 'x'};
  EXPECT_EQ(NextHeaderLine(h, out, 2), -1);
  EXPECT_EQ(NextHeaderLine(h, nullptr, 100), -1);
  EXPECT_EQ(out[0], 'x');
}

}  // namespace
