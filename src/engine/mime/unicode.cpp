// Unicode mode: the message header read in any order and kept whole in the
// mail file with its encoded words in UTF-8; text bodies in UTF-8; and
// uuencoded files saved as parts.
#include "codec/strings.h"
#include "codec/uu.h"
#include "engine/mime/charset.h"
#include "engine/mime/names.h"
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

// Uuencoded files, in a text body or as a part of their own
// (transfer encoding x-uuencode), saved decoded under the name of their
// "begin" line with the naming rules of every part; a part that its header
// names keeps that name. The "begin" line waits until a data line shows that
// a file follows (else it passes on as text). A line that is not uuencode
// ends the file early: the bytes so far are kept, and that line and all after
// it reach the mail file.
namespace {

void Forget(MimeFilter& f) {
  f.uuState = kUuNone;
  f.uuBeginLength = 0;
}

// The held "begin" line goes to the mail file after all, as the line would
// have gone.
void ReleaseBegin(MimeRun& r) {
  MimeFilter& f = r.f;
  r.out.textBytesIn += f.uuBeginLength;
  if (f.mode == kMimePartBody) {
    MailText(r, f.uuBegin, f.uuBeginLength);
  } else if (f.uuBeginLength > 0) {
    Emit(r, MimeOp::kMailText, f.uuBegin, f.uuBeginLength);
  }
  Forget(f);
}

bool HoldBegin(MimeRun& r, const char* line, int length) {
  MimeFilter& f = r.f;
  int start = 0, n = 0;
  if (length > kMimeUuBeginMax || !ReadUuBegin(line, length, start, n)) return false;
  CopyCount(f.uuBegin, line, length);
  f.uuBeginLength = length;
  f.uuState = kUuBeginHeld;
  return true;
}

// The file's name from the held "begin" line, any leading path dropped.
void NameFromBegin(MimeRun& r) {
  MimeFilter& f = r.f;
  int start = 0, n = 0;
  ReadUuBegin(f.uuBegin, f.uuBeginLength, start, n);
  const char* name = f.uuBegin + start;
  const int base = BaseNameStart(name, n);
  FitName(name + base, n - base, true, f.name, kMimeNameMax);
  Logf(r, "[Filename='%s']\r\n", f.name);
}

MimeUuTaken Decode(MimeRun& r, const char* line, int length, bool complete) {
  MimeFilter& f = r.f;
  if (!f.partOpen) {
    // The file could not be created: the text stays in the mail file.
    ReleaseBegin(r);
    return MimeUuTaken::kNo;
  }
  if (complete && IsUuEnd(line, length)) {
    r.out.attachBytesIn += length;
    Forget(f);
    ClosePart(r, true);
    return MimeUuTaken::kYes;
  }
  char* room = Reserve(r, kUuLineBytes);
  const int n = complete && room != nullptr ? DecodeUuLine(line, length, room) : -1;
  if (n < 0) {
    Log(r, "[uuencoded file ends early]\r\n");
    Forget(f);
    ClosePart(r, true);
    return MimeUuTaken::kNo;
  }
  r.out.attachBytesIn += length;
  if (n > 0) Emit(r, MimeOp::kPartBytes, room, n);
  return MimeUuTaken::kYes;
}

// The line after "begin": a data line with bytes opens the file (and is
// taken again once it is open), anything else lets the "begin" line go.
MimeUuTaken AfterBegin(MimeRun& r, const char* line, int length, bool complete) {
  MimeFilter& f = r.f;
  char bytes[kUuLineBytes];
  if (!complete || DecodeUuLine(line, length, bytes) <= 0) {
    ReleaseBegin(r);
    return MimeUuTaken::kNo;
  }
  r.out.attachBytesIn += f.uuBeginLength;
  f.uuState = kUuDecoding;
  if (f.partOpen) return Decode(r, line, length, complete);
  Log(r, "[uuencoded file]\r\n");
  NameFromBegin(r);
  CreatePartFile(r);
  return MimeUuTaken::kAgain;
}

}  // namespace

bool UuApplies(const MimeFilter& f, const MimeSettings& s) {
  if (!s.unicode) return false;
  if (f.uuState != kUuNone || f.encoding == kEncodingUu || f.mode == kMimeOff) return true;
  return f.mode == kMimePartBody && !f.partOpen && (f.encoding == kEncodingNone || f.encoding == kEncoding7Bit);
}

MimeUuTaken UuBodyLine(MimeRun& r, const char* line, int length, bool complete) {
  switch (r.f.uuState) {
    case kUuDecoding:
      return Decode(r, line, length, complete);
    case kUuBeginHeld:
      return AfterBegin(r, line, length, complete);
    default:
      return complete && HoldBegin(r, line, length) ? MimeUuTaken::kYes : MimeUuTaken::kNo;
  }
}

void UuEnd(MimeRun& r) {
  if (r.f.uuState == kUuBeginHeld) {
    ReleaseBegin(r);
  } else if (r.f.uuState == kUuDecoding) {
    Log(r, "[uuencoded file ends early]\r\n");
    Forget(r.f);
  }
}
