// The names and header lines of attachment parts: shown names, image
// types, the transfer encoding a text part needs, and headers that stay
// within 998 octets a line whatever the name holds.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/compose/attachment_lines.h"

namespace {

TEST(AttachmentNames, ShownNameFollowsTheNameSeparator) {
  struct Case {
    const char* entry;
    char sep;
    const char* shown;
  } cases[] = {
      {"C:\\d\\pic.JPG|shown.jpg", '|', "shown.jpg"},
      {"C:\\d\\pic.JPG", '|', "pic.JPG"},
      {"C:\\d\\pic.JPG|shown.jpg", '\0', "pic.JPG|shown.jpg"},  // no name separator: the base name whole
      {"pic|a|b", '|', "a|b"},
      {"C:\\d\\pic.jpg|", '|', ""},
      {"C:\\d\\pic.jpg|my photo.jpg", '|', "my photo.jpg"},
      {"a.txt#b.txt", '#', "b.txt"},
  };
  for (const auto& t : cases) EXPECT_STREQ(ShownName(t.entry, t.sep), t.shown) << t.entry;
  // The base name: '/' is a directory break on every system.
  EXPECT_STREQ(ShownName("dir/pic.jpg", '|'), "pic.jpg");
  EXPECT_STREQ(ShownName("\\pic.jpg", '|'), "\\pic.jpg");
  EXPECT_STREQ(ShownName(nullptr, '|'), "");
}

TEST(AttachmentNames, ImageTypesByExtensionInAnyCase) {
  struct Case {
    const char* name;
    const char* type;
  } cases[] = {
      {"pic.JPG", "Content-Type: Image/JPEG"},
      {"a.gif", "Content-Type: Image/GIF"},
      {"a.Bmp", "Content-Type: Image/BMP"},
      {"scan.tif", "Content-Type: Image/TIFF"},
      {".gif", nullptr},
      {"a.jpeg", nullptr},
      {"a.tiff", nullptr},
      {"gif", nullptr},
      {"a.gif.txt", nullptr},
      {"", nullptr},
      {nullptr, nullptr},
  };
  for (const auto& t : cases) {
    const char* type = ImageType(t.name);
    if (t.type == nullptr) {
      EXPECT_EQ(type, nullptr) << (t.name ? t.name : "(null)");
    } else {
      EXPECT_STREQ(type, t.type) << t.name;
    }
  }
}

// The label of a text part must say what the line builder does to its lines.
TEST(AttachmentLines, EncodingLabelMatchesTheLineEncoding) {
  for (uint32_t body = 0; body < 16; ++body) {
    SCOPED_TRACE(body);
    EXPECT_STREQ(AttachEncodingLine(false, body), "Content-Transfer-Encoding: base64");
    const char* text = AttachEncodingLine(true, body);
    if (body == 0 || body == 2) {
      EXPECT_STREQ(text, "Content-Transfer-Encoding: 7bit");
    } else {
      EXPECT_STREQ(text, "Content-Transfer-Encoding: quoted-printable");
    }
  }
}

std::string TypeHeader(const char* name, const char* image, int id, bool asText, const char* userType) {
  char out[2049];
  int n = BuildAttachTypeHeader(out, sizeof out, name, image, id, AttachmentLook{asText, userType, false});
  return n < 0 ? "(too long)" : std::string(out, static_cast<size_t>(n));
}

TEST(AttachmentLines, ContentTypeByKind) {
  const char* jpeg = "Content-Type: Image/JPEG";
  struct Case {
    const char* name;
    const char* image;
    int id;
    bool asText;
    const char* userType;
    const char* header;
  } cases[] = {
      {"pic.JPG", jpeg, 1, false, nullptr,
       "Content-Type: Image/JPEG; name=\"pic.JPG\"\r\nContent-ID: <message-root.1>"},
      {"pic.JPG", jpeg, 12, true, "X", "Content-Type: Image/JPEG; name=\"pic.JPG\"\r\nContent-ID: <message-root.12>"},
      {"a.txt", nullptr, 0, true, "Content-Type: x/y", "Content-Type: text/plain"},
      {"a.pdf", nullptr, 0, false, "Content-Type: application/pdf", "Content-Type: application/pdf"},
      {"a.pdf", nullptr, 0, false, "", "Content-Type: application/octet-stream; name=\"a.pdf\""},
      {"a b.bin", nullptr, 0, false, nullptr, "Content-Type: application/octet-stream; name=\"a b.bin\""},
      {"", nullptr, 0, false, nullptr, "Content-Type: application/octet-stream; name=\"\""},
      // A line break in the name becomes a fold; it cannot start a header line.
      {"a\r\nX-Evil: 1\n\n.bin", nullptr, 0, false, nullptr,
       "Content-Type: application/octet-stream; name=\"a\r\n X-Evil: 1\r\n .bin\""},
      {"\r\n", nullptr, 0, false, nullptr, "Content-Type: application/octet-stream; name=\"\r\n \""},
  };
  for (const auto& t : cases) EXPECT_EQ(TypeHeader(t.name, t.image, t.id, t.asText, t.userType), t.header) << t.name;
}

// Part headers fold like every other header: a value's own blank after a
// line break continues the line, no line holds blanks alone, and the caller's
// Content-Type line cannot end the headers or the message with a line break.
TEST(AttachmentLines, LineBreaksFoldLikeEveryHeader) {
  struct Case {
    const char* name;
    const char* userType;
    const char* header;
  } cases[] = {
      {"a\r\n b", nullptr, "Content-Type: application/octet-stream; name=\"a\r\n b\""},
      {"a\r\n  \r\nb", nullptr, "Content-Type: application/octet-stream; name=\"a\r\n b\""},
      {"a", "Content-Type: x/y\r\n\r\n.\r\nX: 1", "Content-Type: x/y\r\n .\r\n X: 1"},
      {"a", "Content-Type: x/y\r\n", "Content-Type: x/y"},
  };
  for (const auto& t : cases) EXPECT_EQ(TypeHeader(t.name, nullptr, 0, false, t.userType), t.header) << t.name;
}

TEST(AttachmentLines, DispositionEndsThePartHeaders) {
  char out[256];
  ASSERT_GT(BuildDispositionHeader(out, sizeof out, "pic.jpg", true, false), 0);
  EXPECT_STREQ(out, "Content-Disposition: inline; filename=\"pic.jpg\"\r\n");
  ASSERT_GT(BuildDispositionHeader(out, sizeof out, "r\rx.zip", false, false), 0);
  EXPECT_STREQ(out, "Content-Disposition: attachment; filename=\"r\r\n x.zip\"\r\n");
}

std::vector<std::string> Lines(const std::string& header) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = header.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(header.substr(start, end - start));
  }
  lines.push_back(header.substr(start));
  return lines;
}

std::string Unfold(std::string header) {
  for (size_t at; (at = header.find("\r\n")) != std::string::npos;) header.erase(at, 2);
  return header;
}

// Long names fold to lines of at most 998 octets, each continuation starting
// with a blank; with blanks to fold at, unfolding gives the header back.
TEST(AttachmentLines, LongNamesFoldWithinTheLineLimit) {
  const std::string prefix = "Content-Type: application/octet-stream; name=\"";
  struct Case {
    std::string name;
    bool exact;  // folds only at blanks of the name or the header
  } cases[] = {
      {std::string(950, 'a'), true},    // fits: stays one line
      {std::string(980, 'a'), true},    // folds before "name=", the name then fits
      {std::string(1200, 'a'), false},  // folds before "name=", then hard inside the name
      {std::string(1900, 'b'), false},  // no blank left: broken hard
      {[] {
         std::string s;
         for (int i = 0; i < 120; ++i) s += "word" + std::to_string(i) + " ";
         return s;
       }(),
       true},
      {std::string(900, 'c') + " " + std::string(200, 'd'), true},  // folds at the blank in the name
      {std::string(700, 'c') + "\t" + std::string(700, 'd'), false},
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(t.name.size());
    std::string header = TypeHeader(t.name.c_str(), nullptr, 0, false, nullptr);
    ASSERT_NE(header, "(too long)");
    std::vector<std::string> lines = Lines(header);
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(lines[i].size(), 998u) << i;
      if (i > 0) {
        EXPECT_TRUE(lines[i][0] == ' ' || lines[i][0] == '\t') << i;
      }
    }
    std::string whole = prefix + t.name + "\"";
    if (t.exact) {
      EXPECT_EQ(Unfold(header), whole);
    }
    if (whole.size() <= 998) {
      EXPECT_EQ(header, whole);
    }
  }
}

TEST(AttachmentLines, HeaderThatCannotFitIsRefusedNotCut) {
  std::string name(3000, 'n');
  char out[2050];
  out[2049] = '#';
  EXPECT_EQ(BuildAttachTypeHeader(out, 2049, name.c_str(), nullptr, 0, AttachmentLook{false, nullptr, false}), -1);
  EXPECT_EQ(BuildDispositionHeader(out, 2049, name.c_str(), false, false), -1);
  EXPECT_EQ(out[2049], '#');
  EXPECT_EQ(BuildDispositionHeader(out, 0, "a", false, false), -1);
  EXPECT_EQ(BuildDispositionHeader(nullptr, 10, "a", false, false), -1);
}

}  // namespace
