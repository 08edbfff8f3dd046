#include "engine/compose/attachment_lines.h"

#include <cstdio>
#include <cstring>

#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "platform/platform.h"

namespace {

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// Writes a header into a bounded buffer. A line that would pass 998 octets is
// folded before its last blank (the blank begins the next line), or, without
// one, broken with CR LF and a blank where it reached the limit.
class HeaderWriter {
 public:
  HeaderWriter(char* out, int size) : out_(out), size_(size), failed_(out == nullptr || size < 1) {}

  void Text(const char* text) {
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) Put(*p);
  }

  // A value from outside: each run of CR and LF becomes a fold, so that it
  // can never end the header or start a header of its own.
  void Value(const char* text) {
    for (const char* p = text; p != nullptr && *p != '\0'; ++p) {
      if (*p != '\r' && *p != '\n') {
        Put(*p);
        continue;
      }
      while (p[1] == '\r' || p[1] == '\n') ++p;
      Break();
      Raw(' ');
    }
  }

  // Ends the current line; what follows begins a new one.
  void Break() {
    Raw('\r');
    Raw('\n');
    lineStart_ = pos_;
  }

  int Finish() {
    if (failed_) return -1;
    out_[pos_] = '\0';
    return pos_;
  }

 private:
  // One character and room for the NUL after it, or the writer fails.
  void Raw(char ch) {
    if (failed_ || pos_ + 1 >= size_) {
      failed_ = true;
      return;
    }
    out_[pos_++] = ch;
  }

  void Put(char ch) {
    if (pos_ - lineStart_ >= kMaxLineOctets) Fold();
    Raw(ch);
  }

  void Fold() {
    int blank = pos_ - 1;
    while (blank > lineStart_ && !IsBlank(out_[blank])) --blank;
    if (blank <= lineStart_) {
      Break();
      Raw(' ');
      return;
    }
    if (failed_ || pos_ + 2 >= size_) {
      failed_ = true;
      return;
    }
    memmove(out_ + blank + 2, out_ + blank, static_cast<size_t>(pos_ - blank));
    out_[blank] = '\r';
    out_[blank + 1] = '\n';
    pos_ += 2;
    lineStart_ = blank + 2;
  }

  char* out_;
  int size_;
  int pos_ = 0;
  int lineStart_ = 0;
  bool failed_;
};

struct ImageExtension {
  const char* extension;
  const char* type;
};
constexpr ImageExtension kImageExtensions[] = {
    {".gif", "Content-Type: Image/GIF"},
    {".bmp", "Content-Type: Image/BMP"},
    {".tif", "Content-Type: Image/TIFF"},
    {".jpg", "Content-Type: Image/JPEG"},
};

// `prefix` and the quoted name.
void NamedParameter(HeaderWriter& w, const char* prefix, const char* name) {
  w.Text(prefix);
  w.Text("\"");
  w.Value(name);
  w.Text("\"");
}

}  // namespace

const char* BaseName(const char* path) {
  if (path == nullptr) return "";
  const char* base = path;
  if (path[0] != '\0') {
    for (const char* p = path + 1; *p != '\0'; ++p) {
      if (platform::IsPathBreak(*p)) base = p + 1;
    }
  }
  return base;
}

const char* ShownName(const char* entry, char nameSep) {
  const char* base = BaseName(entry);
  const char* sep = nameSep != '\0' ? FindChar(base, nameSep) : nullptr;
  return sep != nullptr ? sep + 1 : base;
}

const char* ImageType(const char* name) {
  int length = StringLength(name);
  if (length <= 4) return nullptr;
  for (const ImageExtension& image : kImageExtensions) {
    if (CompareNoCase(name + length - 4, image.extension, 4)) return image.type;
  }
  return nullptr;
}

const char* AttachEncodingLine(bool asText, uint32_t bodyType) {
  if (!asText) return "Content-Transfer-Encoding: base64";
  return TextLinesQuotedPrintable(bodyType) ? "Content-Transfer-Encoding: quoted-printable"
                                            : "Content-Transfer-Encoding: 7bit";
}

int BuildAttachTypeHeader(char* out, int size, const char* name, const char* imageType, int contentId,
                          const AttachmentLook& look) {
  HeaderWriter w(out, size);
  if (imageType != nullptr) {
    w.Text(imageType);
    NamedParameter(w, "; name=", name);
    char id[40];
    snprintf(id, sizeof id, "Content-ID: <message-root.%d>", contentId);
    w.Break();
    w.Text(id);
  } else if (look.asText) {
    w.Text("Content-Type: text/plain");
  } else if (look.userType != nullptr && look.userType[0] != '\0') {
    w.Text(look.userType);
  } else {
    NamedParameter(w, "Content-Type: application/octet-stream; name=", name);
  }
  return w.Finish();
}

int BuildDispositionHeader(char* out, int size, const char* name, bool inlinePart) {
  HeaderWriter w(out, size);
  NamedParameter(
      w, inlinePart ? "Content-Disposition: inline; filename=" : "Content-Disposition: attachment; filename=", name);
  w.Break();
  return w.Finish();
}
