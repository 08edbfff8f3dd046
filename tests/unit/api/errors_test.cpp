// The code table and kovErrorText: every text byte for byte against a golden
// file, truncation by the buffer size, the server reply after three codes,
// and bad arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "api/errors.h"
#include "api/library.h"
#include "kov32.h"

namespace {

class ErrorTexts : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kovAttach(2), 1); }
  void TearDown() override { kovRelease(); }
};

// The lines "code<TAB>text" of the golden file, in file order.
std::vector<std::pair<int, std::string>> GoldenTexts() {
  std::vector<std::pair<int, std::string>> texts;
  std::ifstream in(std::string(KOV_TEST_DATA_DIR) + "/unit/api/error_texts.txt", std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    texts.emplace_back(std::stoi(line.substr(0, tab)), line.substr(tab + 1));
  }
  return texts;
}

TEST_F(ErrorTexts, EveryTextAsTheGoldenFileHasIt) {
  const auto golden = GoldenTexts();
  ASSERT_EQ(golden.size(), 100u) << "tests/unit/api/error_texts.txt unreadable or incomplete";
  std::set<int> listed;
  for (const auto& entry : golden) {
    EXPECT_TRUE(listed.insert(entry.first).second) << "code " << entry.first << " listed twice";
    EXPECT_STREQ(ErrorMessage(entry.first), entry.second.c_str()) << "code " << entry.first;
  }
  // No other code has a text.
  for (int code = -12000; code <= 12000; ++code) {
    if (listed.count(code) != 0) continue;
    EXPECT_EQ(ErrorMessage(code), nullptr) << "code " << code << " is not in the file";
  }
}

TEST_F(ErrorTexts, TruncationAndTheAppendedReply) {
  strcpy(Channel(0).link.ReplyBuffer, "550 5.1.1 <x@y>: rejected\r\n");
  const struct {
    int code;
    int size;
    const char* text;
  } cases[] = {
      {-73, 128, "Channel out of range."},
      {-10061, 128, "Connection refused by remote host."},
      {1, 128, ""},
      {-2, 128, ""},
      {-73, 10, "Channel o"},
      {-73, 1, ""},
      {-49, 128, "SMTP returned error. 550 5.1.1 <x@y>: rejected\r\n"},
      {-63, 128, "POP3 returned error. 550 5.1.1 <x@y>: rejected\r\n"},
      {-36, 40, "Error attempting to connect. 550 5.1.1 "},
      {-49, 21, "SMTP returned error."},
  };
  for (const auto& c : cases) {
    char buffer[130];
    memset(buffer, '#', sizeof buffer);
    const int length = static_cast<int>(strlen(c.text));
    EXPECT_EQ(kovErrorText(0, c.code, buffer, c.size), length) << c.code << " size " << c.size;
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(length) + 2), std::string(c.text) + '\0' + '#');
  }
  // A reply field without a terminator is read no further than its end.
  memset(Channel(0).link.ReplyBuffer, 'r', sizeof Channel(0).link.ReplyBuffer);
  std::string big(4096, '#');
  EXPECT_EQ(kovErrorText(0, -49, &big[0], 4096), 21 + static_cast<int>(sizeof Channel(0).link.ReplyBuffer) - 1);
}

TEST_F(ErrorTexts, BadBuffersAndTheChannelCheck) {
  char buffer[8] = "#######";
  EXPECT_EQ(kovErrorText(0, -73, buffer, 0) + kovErrorText(0, -73, buffer, -5) + kovErrorText(0, -73, nullptr, 8), 0);
  EXPECT_EQ(kovErrorText(2, -73, buffer, 8), -73);
  kovRelease();
  EXPECT_EQ(kovErrorText(0, -73, buffer, 8), -71);
  EXPECT_STREQ(buffer, "#######");
}

}  // namespace
