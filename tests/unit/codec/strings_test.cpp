// Bounded copies, the case-insensitive comparison and search, and base
// names; the other searches and line copies are exercised through the
// address check and the extractors.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
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

// Where FindNoCase finds the needle, as an offset; -1 for null.
long FoundAt(const char* text, const char* sought) {
  const char* found = FindNoCase(text, sought);
  return found == nullptr ? -1 : static_cast<long>(found - text);
}

TEST(Strings, FindNoCaseTable) {
  const struct {
    const char* text;
    const char* sought;
    long at;
  } cases[] = {
      {"aaab", "aab", 1},  // a partial match overlapping the real one
      {"abababc", "ababc", 2},
      {"aabaabaaab", "aabaaab", 3},
      {"xyzabcab", "ABCAB", 3},
      {"Content-Type: text", "content-type:", 0},
      {"boundary=\"XyZ\"", "BOUNDARY=", 0},
      {"one two", "TWO", 4},  // at the very end
      {"one two", "two!", -1},
      {"x@y", "`", -1},  // only a-z fold: '@' and '`' differ
      {"x`y", "@", -1},
      {"[{", "{", 1},
      {"\xe9t\xc9", "\xc9", 2},  // bytes above 127 are compared as they are
      {"abc", "", 0},
      {"", "", 0},
      {"", "a", -1},
      {"ab", "abc", -1},
      {"abcabd", "abd", 3},
      {"aaaa", "aaaaa", -1},
  };
  for (const auto& c : cases) EXPECT_EQ(FoundAt(c.text, c.sought), c.at) << c.text << " / " << c.sought;
  EXPECT_EQ(FoundAt(nullptr, "a"), -1);
  EXPECT_EQ(FindNoCase("a", nullptr), nullptr);
}

// Every needle and text over a small alphabet of letters in both cases and
// the two characters next to them, against a direct search.
TEST(Strings, FindNoCaseAgreesWithADirectSearch) {
  const auto fold = [](char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 32) : ch; };
  const auto direct = [&](const std::string& text, const std::string& sought) -> long {
    for (size_t at = 0; at + sought.size() <= text.size(); ++at) {
      size_t i = 0;
      while (i < sought.size() && fold(text[at + i]) == fold(sought[i])) ++i;
      if (i == sought.size()) return static_cast<long>(at);
    }
    return -1;
  };
  const char alphabet[] = "aAbB@`";
  uint32_t state = 12345;
  const auto next = [&state](uint32_t range) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % range;
  };
  for (int round = 0; round < 20000; ++round) {
    const uint32_t letters = 2 + next(5);
    std::string text(next(24), ' ');
    std::string sought(1 + next(9), ' ');
    for (char& ch : text) ch = alphabet[next(letters)];
    for (char& ch : sought) ch = alphabet[next(letters)];
    ASSERT_EQ(FoundAt(text.c_str(), sought.c_str()), direct(text, sought)) << text << " / " << sought;
  }
}

TEST(Strings, FindNoCaseLongNeedleAtTheEnd) {
  // 256 KiB of 'a' ending in 'b', and 4095 'A's and a 'B': every position
  // matches almost all of the needle; only the last one matches it all.
  const std::string needle = std::string(4095, 'A') + 'B';
  const std::string text = std::string(256 * 1024 - 1, 'a') + 'b';
  EXPECT_EQ(FoundAt(text.c_str(), needle.c_str()), static_cast<long>(text.size() - needle.size()));
  EXPECT_EQ(FoundAt(text.c_str(), (needle + 'b').c_str()), -1);
}

}  // namespace
