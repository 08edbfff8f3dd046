// The decoder's line filter: pieces and folds first, then one handler per
// mode for the line at hand.
#include "engine/mime/filter.h"

#include <cstring>

#include "codec/base64.h"
#include "codec/quoted.h"
#include "codec/strings.h"
#include "engine/mime/steps.h"
#include "engine/mime/words.h"

namespace {

// What becomes of the rest of a line that arrives in pieces.
enum PieceFate : uint8_t { kFateDrop = 0, kFatePass = 1, kFateBody = 2, kFateAgain = 3 };

bool IsBlankLine(const char* line, int length) { return length > 0 && (line[0] == '\r' || line[0] == '\n'); }
bool IsFold(char ch) { return ch == ' ' || ch == '\t'; }
bool IsHeaderMode(int32_t mode) { return mode == kMimeTopHeaders || mode == kMimeHeaders || mode == kMimePartHeaders; }

// Unicode mode reads the message header up to its blank line, boundary or not.
bool InUnicodeHeader(const MimeFilter& f, const MimeSettings& s) {
  return s.unicode && (f.mode == kMimeTopHeaders || f.mode == kMimeHeaders || (f.mode == kMimePreamble && !f.blankSeen));
}

// Appends a fold (a line that starts with a blank) to the held header line
// as it came. False when the joined line would not fit.
bool JoinFold(MimeFilter& f, const char* line, int length) {
  if (f.heldLength + length > kMimeLineMax) return false;
  memcpy(f.held + f.heldLength, line, static_cast<size_t>(length));
  f.heldLength += length;
  f.held[f.heldLength] = '\0';
  return true;
}

// The held line unfolded for the header readers: every line end inside it
// taken away, the blanks that follow kept. Returns the text's length.
int Unfold(const char* held, int length, char* text) {
  const int end = length - LineEndLength(held, length);
  int n = 0;
  for (int i = 0; i < length; ++i) {
    if (i >= end || (held[i] != '\r' && held[i] != '\n')) text[n++] = held[i];
  }
  text[n] = '\0';
  return n;
}

void PassText(MimeRun& r, const char* text, int length, int lineLength) {
  r.out.textBytesIn += lineLength;
  if (length > 0) Emit(r, MimeOp::kMailText, text, length);
}

// Logs the body state on a part's first body line and when it changes;
// true when it did.
bool ShowBodyState(MimeRun& r) {
  MimeFilter& f = r.f;
  const int32_t handle = f.partOpen ? f.partHandle : 0;
  if (!r.s.log || (f.bodyShown && f.shownInline == f.inlinePart && f.shownEncoding == f.encoding &&
                   f.shownHandle == handle)) {
    return false;
  }
  f.bodyShown = 1;
  f.shownInline = f.inlinePart;
  f.shownEncoding = f.encoding;
  f.shownHandle = handle;
  Logf(r, "[InlineFlag=%d MimeEncoding=%d FileHandle=%d]\r\n", f.inlinePart, static_cast<int>(f.encoding),
       static_cast<int>(handle));
  return true;
}

// One piece of a part's body: into the part file, inline into the mail file,
// or on to the mail file as it is (quoted-printable text decoded). The log
// shows the body state and where the body goes once, not for every line.
void BodyPiece(MimeRun& r, const char* line, int length, bool lineEnd) {
  MimeFilter& f = r.f;
  const bool shown = ShowBodyState(r);
  const char* decoded = line;
  int count = length;
  char* room = nullptr;
  if (f.encoding == kEncodingBase64 && (f.partOpen || f.inlinePart)) {
    room = Reserve(r, 3 * ((length + 3) / 4) + 1);
    count = room != nullptr ? DecodeBase64(line, length, f.carry, Base64Skip::kLineEndsAndBlanks, room) : 0;
  } else if (f.encoding == kEncodingQuoted) {
    room = Reserve(r, length + 2);
    count = room != nullptr ? DecodeQuoted(line, length, lineEnd, f.carry, room) : 0;
  }
  if (room != nullptr) decoded = room;
  // A uuencoded part's lines outside its file go to the mail file.
  if ((!f.partOpen && !f.inlinePart) || f.encoding == kEncodingUu) {
    r.out.textBytesIn += length;
    MailText(r, decoded, count);
    return;
  }
  r.out.attachBytesIn += length;
  if (f.partOpen) {
    const char* bytes = decoded;
    int n = count;
    if (f.encoding != kEncodingBase64) {
      char* kept = Reserve(r, count + 2);
      n = kept != nullptr ? HoldLineEnd(decoded, count, f.heldEnd, kept) : 0;
      bytes = kept;
    }
    if (n > 0) Emit(r, MimeOp::kPartBytes, bytes, n);
  }
  if (f.inlinePart) MailText(r, decoded, count);
  if (shown) Log(r, f.inlinePart ? "[...decode inline...]\r\n" : "[...decode to file...]\r\n");
}

PieceFate TopHeaderLine(MimeRun& r, const char* line, int length, const char* text) {
  MimeFilter& f = r.f;
  const char* pass = line;
  int passLength = length;
  if (IsBlankLine(line, length)) {
    f.mode = kMimeOff;
    Log(r, "[Not doing MIME/2]\r\n");
  } else if ((CompareNoCase(text, "Subject:", 8) || CompareNoCase(text, "From", 4)) && HasEncodedWord(text)) {
    Log(r, "[ISO8859]\r\n");
    const int textLength = StringLength(text);
    char* decoded = Reserve(r, textLength + 1);
    if (decoded != nullptr) {
      passLength = DecodeEncodedWords(text, textLength, decoded, textLength + 1, HeaderWordRules(TextCoding::kLatin1));
      pass = decoded;
    }
  } else if (CompareNoCase(text, "MIME-Version: 1.0", 17)) {
    f.mode = kMimeHeaders;
    Log(r, "[MIME version found]\r\n");
  }
  if (ReadTopBoundary(r, text)) Log(r, "[Assuming MIME]\r\n");
  PassText(r, pass, passLength, length);
  return kFatePass;
}

PieceFate HeaderLine(MimeRun& r, const char* line, int length, const char* text) {
  MimeFilter& f = r.f;
  if (IsBlankLine(line, length)) {
    if (f.encoding != kEncodingNone) {
      f.mode = kMimePartBody;
      Log(r, "[MIME w/o boundary]\r\n");
      StartBody(r);
    } else {
      f.mode = kMimeOff;
      Log(r, "[Not doing MIME]\r\n");
    }
    PassText(r, line, length, length);
    return kFatePass;
  }
  if (CompareNoCase(text, "Subject:", 8) || CompareNoCase(text, "To:", 3) || CompareNoCase(text, "From:", 5)) {
    PassText(r, line, length, length);
    return kFatePass;
  }
  if (ReadTopBoundary(r, text) || ReadTransferEncoding(r, text)) return kFateDrop;
  ReadPartName(r, text);
  return kFateDrop;
}

PieceFate PreambleLine(MimeRun& r, const char* line, int length) {
  if (FindBoundaryLine(r, line, length)) return kFateDrop;
  // The blank line that ends the message header stays.
  if (!r.f.blankSeen && length >= 2 && line[0] == '\r' && line[1] == '\n') {
    r.f.blankSeen = 1;
    PassText(r, line, length, length);
    return kFatePass;
  }
  return kFateDrop;
}

PieceFate PartHeaderLine(MimeRun& r, const char* line, int length, const char* text) {
  MimeFilter& f = r.f;
  Log(r, "[Looking for encoding]\r\n");
  if (IsBlankLine(line, length)) {
    if (f.embedded) {
      // The embedded message's own header is read as the part's header.
      f.inlinePart = 0;
      f.embedded = 0;
      Log(r, "[Ignoring blank line]\r\n");
      PassText(r, line, length, length);
      return kFatePass;
    }
    f.mode = kMimePartBody;
    StartBody(r);
    return kFateDrop;
  }
  if (ReadTransferEncoding(r, text) || ReadNestedBoundary(r, text)) return kFateDrop;
  if (CompareNoCase(text, "Content-Type: message/rfc822", 28)) {
    f.inlinePart = 1;
    f.embedded = 1;
    return kFateDrop;
  }
  ReadContentType(r, text);
  ReadPartName(r, text);
  return kFateDrop;
}

// A body line a uuencoded file takes: false when it goes on as it would.
bool TakenByUu(MimeRun& r, const char* line, int length, bool complete, PieceFate& fate) {
  if (!UuApplies(r.f, r.s)) return false;
  const MimeUuTaken taken = UuBodyLine(r, line, length, complete);
  fate = taken == MimeUuTaken::kAgain ? kFateAgain : kFateDrop;
  return taken != MimeUuTaken::kNo;
}

PieceFate ProcessLine(MimeRun& r, const char* line, int length, const char* text, bool complete) {
  if (InUnicodeHeader(r.f, r.s)) {
    UnicodeHeaderLine(r, line, length, text);
    return kFatePass;
  }
  PieceFate fate = kFateDrop;
  switch (r.f.mode) {
    case kMimeTopHeaders:
      return TopHeaderLine(r, line, length, text);
    case kMimeHeaders:
      return HeaderLine(r, line, length, text);
    case kMimePreamble:
      return PreambleLine(r, line, length);
    case kMimePartHeaders:
      return PartHeaderLine(r, line, length, text);
    case kMimePartBody:
      if (FindBoundaryLine(r, line, length)) {
        ClosePart(r, true);
        return kFateDrop;
      }
      if (TakenByUu(r, line, length, complete, fate)) return fate;
      BodyPiece(r, line, length, complete);
      return kFateBody;
    default:
      if (TakenByUu(r, line, length, complete, fate)) return fate;
      PassText(r, line, length, length);
      return kFatePass;
  }
}

// The rest of a line that arrived in pieces goes where its start went.
void ContinuePiece(MimeRun& r, const char* line, int length, bool lineEnd) {
  if (r.f.pieceFate == kFatePass) {
    PassText(r, line, length, length);
  } else if (r.f.pieceFate == kFateBody) {
    BodyPiece(r, line, length, lineEnd);
  }
}

// Handles the held header line as one complete line: the readers see it
// unfolded, a line that passes goes on as it came.
void FinishHeld(MimeRun& r) {
  const int length = r.f.heldLength;
  r.f.heldLength = 0;
  char text[kMimeLineMax + 2];
  Unfold(r.f.held, length, text);
  ProcessLine(r, r.f.held, length, text, true);
}

}  // namespace

void MimeStartMessage(MimeFilter& f) {
  memset(&f, 0, sizeof f);
  f.mode = kMimeTopHeaders;
}

int MimeFilterLine(MimeFilter& f, const MimeSettings& s, const char* line, int length, MimeOutput& out) {
  ResetOutput(out);
  if (line == nullptr || length <= 0) return length > 0 ? length : 0;
  MimeRun r{f, s, out};
  int n = length < kMimePieceMax ? length : kMimePieceMax;
  const void* lf = memchr(line, '\n', static_cast<size_t>(n));
  if (lf != nullptr) n = static_cast<int>(static_cast<const char*>(lf) - line) + 1;
  const bool complete = line[n - 1] == '\n';
  if (f.midLine) {
    ContinuePiece(r, line, n, complete);
    f.midLine = !complete;
    return n;
  }
  if (f.heldLength > 0) {
    // Only a whole line that starts with a blank is a fold; anything else
    // finishes the held line first and is taken by the next call.
    if (complete && IsFold(line[0]) && JoinFold(f, line, n)) return n;
    FinishHeld(r);
    return 0;
  }
  char text[kMimePieceMax + 1];
  if (IsHeaderMode(f.mode) || InUnicodeHeader(f, s)) {
    memcpy(text, line, static_cast<size_t>(n));
    text[n] = '\0';
    // A whole header line waits for the next one, which may be its fold.
    if (complete && !IsBlankLine(line, n)) {
      memcpy(f.held, text, static_cast<size_t>(n) + 1);
      f.heldLength = n;
      return n;
    }
  } else {
    text[0] = '\0';
  }
  const PieceFate fate = ProcessLine(r, line, n, text, complete);
  if (fate == kFateAgain) return 0;
  f.pieceFate = fate;
  f.midLine = !complete;
  return n;
}

bool MimeEndMessage(MimeFilter& f, const MimeSettings& s, MimeOutput& out) {
  ResetOutput(out);
  MimeRun r{f, s, out};
  if (f.heldLength > 0) {
    FinishHeld(r);
    return false;
  }
  // At the end of the message a held line end is part of the body.
  UuEnd(r);
  FinishPartBytes(r);
  if (f.partOpen && f.heldEnd.length > 0) Emit(r, MimeOp::kPartBytes, f.heldEnd.bytes, f.heldEnd.length);
  ClosePart(r, true);
  f.midLine = 0;
  return true;
}

void MimeFinishHeld(MimeFilter& f, const MimeSettings& s, MimeOutput& out) {
  ResetOutput(out);
  MimeRun r{f, s, out};
  if (f.heldLength > 0) FinishHeld(r);
  if (f.uuState == kUuBeginHeld) UuEnd(r);
}

void MimePartOpened(MimeFilter& f, int handle) {
  if (handle > 0) {
    f.partHandle = handle;
  } else {
    MimePartDropped(f);
  }
}

void MimePartDropped(MimeFilter& f) {
  f.partOpen = 0;
  f.partHandle = 0;
  f.heldEnd.length = 0;
  f.carry.length = 0;
}
