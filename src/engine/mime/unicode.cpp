// Unicode mode: the message header read in any order and kept whole in the
// mail file with its encoded words in UTF-8; text bodies in UTF-8.
#include "codec/strings.h"
#include "engine/mime/charset.h"
#include "engine/mime/steps.h"
#include "engine/mime/words.h"

namespace {

bool IsBlankLine(const char* line, int length) { return length > 0 && (line[0] == '\r' || line[0] == '\n'); }

// The blank line that ends the message header.
void HeaderEnd(MimeRun& r, const char* line, int length) {
  MimeFilter& f = r.f;
  if (f.mode == kMimePreamble) {
    f.blankSeen = 1;
  } else if (f.encoding != kEncodingNone) {
    f.mode = kMimePartBody;
    Log(r, "[MIME w/o boundary]\r\n");
    StartBody(r);
  } else {
    Log(r, f.mode == kMimeTopHeaders ? "[Not doing MIME/2]\r\n" : "[Not doing MIME]\r\n");
    f.mode = kMimeOff;
  }
  r.out.textBytesIn += length;
  Emit(r, MimeOp::kMailText, line, length);
}

// Any other header line: to the mail file, its words decoded.
void PassHeader(MimeRun& r, const char* line, int length, const char* text) {
  r.out.textBytesIn += length;
  if (!HasEncodedWord(text)) {
    Emit(r, MimeOp::kMailText, line, length);
    return;
  }
  const int textLength = StringLength(text);
  char* decoded = Reserve(r, 2 * textLength + 8);
  if (decoded == nullptr) {
    Emit(r, MimeOp::kMailText, line, length);
    return;
  }
  const int n = DecodeEncodedWords(text, textLength, decoded, 2 * textLength + 8, HeaderWordRules(TextCoding::kUtf8));
  Emit(r, MimeOp::kMailText, decoded, n);
}

}  // namespace

bool ReadContentType(MimeRun& r, const char* text) {
  if (!CompareNoCase(text, "Content-Type:", 13)) return false;
  MimeFilter& f = r.f;
  int at = 13;
  while (text[at] == ' ' || text[at] == '\t') ++at;
  f.textPart = CompareNoCase(text + at, "text/", 5) ? 1 : 0;
  ReadCharset(text, f.charset, sizeof f.charset);
  return true;
}

void UnicodeHeaderLine(MimeRun& r, const char* line, int length, const char* text) {
  MimeFilter& f = r.f;
  if (IsBlankLine(line, length)) {
    HeaderEnd(r, line, length);
    return;
  }
  if (CompareNoCase(text, "MIME-Version: 1.0", 17) && f.mode == kMimeTopHeaders) {
    f.mode = kMimeHeaders;
    Log(r, "[MIME version found]\r\n");
  }
  if (f.mode != kMimePreamble && ReadTopBoundary(r, text)) return;
  if (ReadTransferEncoding(r, text)) return;
  if (CompareNoCase(text, "Content-Disposition:", 20) || ReadContentType(r, text)) {
    ReadPartName(r, text);
    return;
  }
  PassHeader(r, line, length, text);
}

void StartBody(MimeRun& r) {
  MimeFilter& f = r.f;
  if (!f.inlinePart) OpenUnnamedPart(r);
  const bool encoded = f.encoding == kEncodingBase64 || f.encoding == kEncodingQuoted;
  if (r.s.unicode && f.textPart && encoded && !f.partOpen) f.inlinePart = 1;
}

void MailText(MimeRun& r, const char* text, int length) {
  MimeFilter& f = r.f;
  if (length <= 0) return;
  if (!r.s.unicode || !f.textPart || f.charset[0] == '\0') {
    Emit(r, MimeOp::kMailText, text, length);
    return;
  }
  char* converted = Reserve(r, 3 * (length + 4));
  if (converted == nullptr) {
    Emit(r, MimeOp::kMailText, text, length);
    return;
  }
  const int n = ConvertPiece(f.charset, text, length, TextCoding::kUtf8, f.textCarry, converted);
  if (n > 0) Emit(r, MimeOp::kMailText, converted, n);
}
