// Uuencode decoding: data lines as encoders write them (blank or '`' for
// zero bits, a check character, trailing blanks dropped by a transport),
// lines that are not uuencode, and the "begin" and "end" lines.
#include <gtest/gtest.h>

#include <string>

#include "codec/uu.h"

namespace {

// The bytes of a data line, or "ERR" when it is not one.
std::string Decode(const std::string& line) {
  char out[kUuLineBytes];
  const int n = DecodeUuLine(line.data(), static_cast<int>(line.size()), out);
  return n < 0 ? "ERR" : std::string(out, static_cast<size_t>(n));
}

// A data line as an encoder writes it, zero bits as `zero`.
std::string Encode(const std::string& data, char zero) {
  auto put = [zero](int bits) { return bits == 0 ? zero : static_cast<char>(32 + bits); };
  std::string line(1, put(static_cast<int>(data.size())));
  for (size_t i = 0; i < data.size(); i += 3) {
    unsigned char b[3] = {0, 0, 0};
    for (size_t k = 0; k < 3 && i + k < data.size(); ++k) b[k] = static_cast<unsigned char>(data[i + k]);
    line += put(b[0] >> 2);
    line += put((b[0] & 3) << 4 | b[1] >> 4);
    line += put((b[1] & 15) << 2 | b[2] >> 6);
    line += put(b[2] & 63);
  }
  return line;
}

TEST(Uudecode, EveryByteAndLengthWithEitherZero) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  for (size_t length = 0; length <= 45; ++length) {
    for (size_t at = 0; at + length <= all.size(); at += 37) {
      const std::string data = all.substr(at, length);
      EXPECT_EQ(Decode(Encode(data, ' ') + "\r\n"), data) << length;
      EXPECT_EQ(Decode(Encode(data, '`') + "\n"), data) << length;
    }
  }
}

TEST(Uudecode, DataLineTable) {
  const struct {
    const char* line;
    std::string bytes;
  } cases[] = {
      // As Python's binascii writes them.
      {"#0V%T\n", "Cat"},
      {"!80``\r\n", "a"},
      {"!80  \r\n", "a"},
      {"\"86(`", "ab"},
      {"$````_P``\n", std::string("\0\0\0\xff", 4)},
      {"`\r\n", ""},
      {" \r\n", ""},
      // Trailing blanks dropped on the way: missing characters are zero bits.
      {"!80\r\n", "a"},
      {"$", std::string(4, '\0')},
      // A check character after the padded groups.
      {"#0V%TM\r\n", "Cat"},
      // Not uuencode: empty, characters outside ' '..'`', too long.
      {"\r\n", "ERR"},
      {"", "ERR"},
      {"#0v%T\r\n", "ERR"},
      {"Thanks, see you\r\n", "ERR"},
      {"#0V%TMM\r\n", "ERR"},
      {"end\r\n", "ERR"},
      {"#0V\t%T\r\n", "ERR"},
  };
  for (const auto& c : cases) EXPECT_EQ(Decode(c.line), c.bytes) << c.line;
}

TEST(Uudecode, BeginLineTable) {
  const struct {
    const char* line;
    const char* name;  // null: not a begin line
  } cases[] = {
      {"begin 644 report.pdf\r\n", "report.pdf"},
      {"begin 0644 a b.txt  \t\r\n", "a b.txt"},
      {"begin  600   x\n", "x"},
      {"begin 7 C:\\dir\\name.bin\r\n", "C:\\dir\\name.bin"},
      {"begin 644 \xc3\x9c" "bersicht.pdf\r\n", "\xc3\x9c" "bersicht.pdf"},
      {"begin 644\r\n", nullptr},
      {"begin 644 \r\n", nullptr},
      {"begin 648 x\r\n", nullptr},
      {"begin 64444 x\r\n", nullptr},
      {"begin x.txt\r\n", nullptr},
      {"Begin 644 x\r\n", nullptr},
      {"begin-base64 644 x\r\n", nullptr},
      {" begin 644 x\r\n", nullptr},
  };
  for (const auto& c : cases) {
    int start = -1, length = -1;
    const bool found = ReadUuBegin(c.line, static_cast<int>(std::string(c.line).size()), start, length);
    EXPECT_EQ(found, c.name != nullptr) << c.line;
    if (found && c.name != nullptr) {
      EXPECT_EQ(std::string(c.line + start, static_cast<size_t>(length)), c.name);
    }
  }
}

TEST(Uudecode, EndLineTable) {
  for (const char* line : {"end", "end\r\n", "end  \n", " end\r\n"}) EXPECT_TRUE(IsUuEnd(line, static_cast<int>(std::string(line).size()))) << line;
  for (const char* line : {"", "\r\n", "en\r\n", "ends\r\n", "end x\r\n", "END\r\n"})
    EXPECT_FALSE(IsUuEnd(line, static_cast<int>(std::string(line).size()))) << line;
}

}  // namespace
