// The code table and kovErrorText: every text byte for byte, truncation by
// the buffer size, the server reply after three codes, and bad arguments.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/channels.h"
#include "api/errors.h"
#include "codec/md5.h"
#include "kov32.h"

namespace {

class ErrorTexts : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(kovAttach(2), 1); }
  void TearDown() override { kovRelease(); }
};

TEST_F(ErrorTexts, EveryTextByteForByte) {
  // "code text\n" of every code from -12000 to 1000 that has a text, in that
  // order, digested: the 89 texts of the code table and no other.
  Md5Context md5;
  Md5Init(md5);
  int withText = 0;
  for (int code = -12000; code <= 1000; ++code) {
    const char* text = ErrorMessage(code);
    if (text == nullptr) continue;
    ++withText;
    std::string line = std::to_string(code) + " " + text + "\n";
    Md5Update(md5, line.data(), line.size());
  }
  unsigned char digest[kDigestSize];
  Md5Final(digest, md5);
  char hex[kDigestHexSize];
  EXPECT_EQ(withText, 89);
  EXPECT_STREQ(DigestToHex(digest, hex), "1a8a9b4ae2ff8e8e37b4f0526ab8e807");
}

TEST_F(ErrorTexts, TruncationAndTheAppendedReply) {
  strcpy(Channel(0).ReplyBuffer, "550 5.1.1 <x@y>: rejected\r\n");
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
  memset(Channel(0).ReplyBuffer, 'r', sizeof Channel(0).ReplyBuffer);
  std::string big(4096, '#');
  EXPECT_EQ(kovErrorText(0, -49, &big[0], 4096), 21 + static_cast<int>(sizeof Channel(0).ReplyBuffer) - 1);
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
