// Path breaks, base names and joined paths: the same on every system.
#include <gtest/gtest.h>

#include <string>

#include "codec/strings.h"

namespace {

TEST(Paths, BaseNameStartsAfterTheLastBreak) {
  struct Case {
    const char* path;
    int start;
  } cases[] = {
      {"C:\\dir\\x.txt", 7},
      {"dir/sub/x", 8},  // '/' breaks on Windows too
      {"a/b\\c:d", 6},
      {"\\x", 0},  // a break in the first place stays part of the name
      {"/x", 0},
      {"x", 0},
      {"dir/", 4},
      {"", 0},
  };
  for (const Case& t : cases) {
    EXPECT_EQ(BaseNameStart(t.path, static_cast<int>(std::string(t.path).size())), t.start) << t.path;
  }
  EXPECT_EQ(BaseNameStart("a/b/c", 3), 2);  // only the first `length` characters
  EXPECT_EQ(BaseNameStart(nullptr, 5), 0);
  // The mail file's own name: a break in the first place counts too.
  EXPECT_EQ(BaseNameStart("/x", 2, true), 1);
  EXPECT_EQ(BaseNameStart("\\x", 2, true), 1);
}

TEST(Paths, JoinsOnlyWhatFitsWhole) {
  const std::string dir120(120, 'd');
  struct Case {
    std::string dir;
    std::string name;
    char separator;
    std::string path;  // empty: does not fit
  } cases[] = {
      {"/tmp/mail", "m.eml", '/', "/tmp/mail/m.eml"},
      {"/tmp/mail/", "m.eml", '/', "/tmp/mail/m.eml"},
      {"C:\\mail", "m.eml", '\\', "C:\\mail\\m.eml"},
      {"C:\\mail\\", "m.eml", '\\', "C:\\mail\\m.eml"},
      {"", "m.eml", '\\', "m.eml"},  // the current directory, not the root
      {"", "m.eml", '/', "m.eml"},
      {"/tmp/mail/", "", '/', "/tmp/mail/"},
      {dir120, "1234567", '/', dir120 + "/1234567"},  // 128 characters
      {dir120, "12345678", '/', ""},
      {dir120 + "/", "12345678", '/', ""},
      {std::string(126, 'd'), "x", '/', std::string(126, 'd') + "/x"},
      {std::string(127, 'd'), "x", '/', ""},
  };
  for (const Case& c : cases) {
    char out[129] = "junk";
    const int n = JoinPath(c.dir.c_str(), c.name.c_str(), c.separator, out, sizeof out);
    EXPECT_EQ(n, c.path.empty() ? -1 : static_cast<int>(c.path.size())) << c.dir << " + " << c.name;
    EXPECT_EQ(std::string(out), c.path);
  }
  char small[4] = "abc";
  EXPECT_EQ(JoinPath(nullptr, "x", '/', small, sizeof small), -1);
  EXPECT_EQ(small[0], '\0');
}

}  // namespace
