// Bounded copies and the case-insensitive comparison; the searches and line
// copies are exercised through the address check and the extractors.
#include <gtest/gtest.h>

#include <string>

#include "codec/strings.h"

namespace {

TEST(Strings, BoundedCopyAndAppend) {
  const struct {
    int max;
    std::string copied;  // the bytes BoundedCopy leaves before the mark
    const char* appended;
  } cases[] = {{10, std::string("hello\0", 6), "abhello"}, {3, std::string("hel\0", 4), "abhel"}, {-1, "", "ab"}};
  for (const auto& c : cases) {
    char out[16];
    memset(out, '#', sizeof out);
    BoundedCopy(out, "hello", c.max);
    EXPECT_EQ(std::string(out, c.copied.size() + 1), c.copied + '#') << c.max;
    strcpy(out, "ab");
    BoundedAppend(out, "hello", c.max);
    EXPECT_STREQ(out, c.appended);
  }
  char out[8] = "xy";
  EXPECT_EQ(BoundedCopy(out, nullptr, 3) + BoundedCopy(nullptr, "a", 3) + CopyCount(out, "abc", -2), 0);
  EXPECT_EQ(CopyCount(out, "a\0bc", 4), 4);
  EXPECT_EQ(std::string(out, 5), std::string("a\0bc\0", 5));
}

TEST(Strings, CompareNoCaseFoldsOnlyLetters) {
  const struct {
    const char* a;
    const char* b;
    int count;
    int result;
  } cases[] = {{"From:", "FROM:", 5, 1}, {"abc", "abd", 2, 1}, {"abc", "abd", 3, 0},   {"ab", "ab", 9, 1},
               {"ab", "abc", 9, 0},      {"a", "a", 0, 0},     {"\xe9", "\xc9", 1, 0}, {"[", "{", 1, 0}};
  for (const auto& c : cases) EXPECT_EQ(CompareNoCase(c.a, c.b, c.count), c.result) << c.a << " " << c.b;
}

}  // namespace
