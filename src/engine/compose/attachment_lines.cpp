#include "engine/compose/attachment_lines.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "codec/encoded_words.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"

namespace {

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

// Appends fixed text after `used` characters: the new length, or -1 when it
// does not fit with its NUL (or `used` is already -1).
int AppendFixed(char* out, int size, int used, const char* text) {
  const int length = StringLength(text);
  if (used < 0 || used + length >= size) return -1;
  memcpy(out + used, text, static_cast<size_t>(length) + 1);
  return used + length;
}

// `lead` (ending in a quote) and the name, folded, then the closing quote:
// a name that is not ASCII in Unicode mode as encoded words, any other with
// its quotes and backslashes escaped.
int NamedParameter(char* out, int size, const char* lead, const char* name, bool unicode) {
  // Room for either form: escaping at most doubles the name.
  std::vector<char> value(static_cast<size_t>(WordsSize(2 * StringLength(name) + 2)));
  const int room = static_cast<int>(value.size());
  int length;
  if (unicode && HasEightBit(name)) {
    length = EncodeWords(name, StringLength(name), StringLength(lead), value.data(), room);
  } else {
    length = EscapeQuoted(name, value.data(), room);
  }
  if (length < 0) return -1;
  return FoldHeader(HeaderParts(lead, value.data(), "\""), out, size);
}

}  // namespace

const char* ShownName(const char* entry, char nameSep) {
  const char* base = entry != nullptr ? entry : "";
  base += BaseNameStart(base, StringLength(base));
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

const char* AttachEncodingLine(bool asText, uint32_t bodyType, bool unicode) {
  if (!asText) return "Content-Transfer-Encoding: base64";
  return TextLinesQuotedPrintable(bodyType, unicode) ? "Content-Transfer-Encoding: quoted-printable"
                                            : "Content-Transfer-Encoding: 7bit";
}

int BuildAttachTypeHeader(char* out, int size, const char* name, const char* imageType, int contentId,
                          const AttachmentLook& look) {
  if (imageType != nullptr) {
    char lead[64];
    snprintf(lead, sizeof lead, "%s; name=\"", imageType);
    char id[48];
    snprintf(id, sizeof id, "\r\nContent-ID: <message-root.%d>", contentId);
    return AppendFixed(out, size, NamedParameter(out, size, lead, name, look.unicode), id);
  }
  if (look.asText) return AppendFixed(out, size, out != nullptr ? 0 : -1, "Content-Type: text/plain");
  if (look.userType != nullptr && look.userType[0] != '\0') return FoldHeader(HeaderValue("", look.userType), out, size);
  return NamedParameter(out, size, "Content-Type: application/octet-stream; name=\"", name, look.unicode);
}

int BuildDispositionHeader(char* out, int size, const char* name, bool inlinePart, bool unicode) {
  if (unicode && HasEightBit(name)) {
    const char* lead = inlinePart ? "Content-Disposition: inline;" : "Content-Disposition: attachment;";
    return AppendFixed(out, size, ExtendedParameter(lead, "filename", name, out, size), "\r\n");
  }
  const char* lead =
      inlinePart ? "Content-Disposition: inline; filename=\"" : "Content-Disposition: attachment; filename=\"";
  return AppendFixed(out, size, NamedParameter(out, size, lead, name, false), "\r\n");
}
