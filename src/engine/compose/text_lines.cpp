// The message text reader (GetMsgChar) and the line builder that turns its
// bytes into plain, HTML or quoted-printable lines; the alternative text's
// line cutter and the main text's label.
#include <cstring>
#include <initializer_list>

#include "api/errors.h"
#include "api/log.h"
#include "codec/base64.h"
#include "codec/quoted.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/compose/text_lines.h"

namespace {

// Bytes the read-ahead buffer holds at most.
constexpr int kBufferFill = 2048;
// How far back a remembered break position may lie (source bytes, CRs
// included) and still be kept in the buffer across a refill: with at most
// 995 unread bytes beside it, a refill always has room.
constexpr int kMaxKeep = 1024;

int ClampedLineLimit(const ChannelContext& c) {
  const int32_t limit = c.settings.LineLimit;
  return limit < 1 ? 1 : (limit > 995 ? 995 : limit);
}

int ReadSource(ChannelContext& c, char* out, int room) {
  if (c.smtp.TextInMemory) {
    const bool alt = c.smtp.TextInMemory == kTextInAltText;
    const char* text = alt ? (c.smtp.AltText != nullptr ? c.smtp.AltText + c.smtp.AltTextPos : nullptr) : c.smtp.MessageText;
    int count = 0;
    if (text != nullptr) {
      count = static_cast<int>(strnlen(text, static_cast<size_t>(room)));
      memcpy(out, text, static_cast<size_t>(count));
      if (alt) {
        c.smtp.AltTextPos += count;
      } else {
        c.smtp.MessageText += count;
      }
    }
    return count;
  }
  const int count = ReadInputFile(c, out, room);
  LogFormat(c, "GetMsgChar:Read %d bytes\r\n", count);
  return count < 0 ? kCannotOpenFile : count;
}

// Moves the unread bytes, and those from `keep` on when it lies before them,
// to the front and appends what the source has. 0 or a read error.
int Refill(ChannelContext& c, int& keep) {
  // A position too far back is given up, so that there is always room to read.
  if (keep >= 0 && c.smtp.MsgBufPos - keep > kMaxKeep) keep = -1;
  const int from = keep >= 0 && keep < c.smtp.MsgBufPos ? keep : c.smtp.MsgBufPos;
  const int kept = c.smtp.MsgBufEnd - from;
  memmove(c.smtp.MsgBuffer, c.smtp.MsgBuffer + from, static_cast<size_t>(kept));
  c.smtp.MsgBufPos -= from;
  if (keep >= 0) keep -= from;
  const int count = ReadSource(c, c.smtp.MsgBuffer + kept, kBufferFill - kept);
  if (count < 0) return count;
  if (count == 0) c.smtp.MsgBufEof = 1;
  c.diag.TextBytesIn = SaturatingAdd(c.diag.TextBytesIn, count);
  c.smtp.MsgBufEnd = kept + count;
  return 0;
}

// GetMsgChar with a position in the buffer that a refill must keep.
int NextByte(ChannelContext& c, int& keep) {
  if (!c.smtp.MsgBufEof && c.smtp.MsgBufEnd - c.smtp.MsgBufPos <= ClampedLineLimit(c)) {
    if (int rc = Refill(c, keep)) return rc;
  }
  if (c.smtp.MsgBufPos >= c.smtp.MsgBufEnd) return 0;
  const int ch = static_cast<unsigned char>(c.smtp.MsgBuffer[c.smtp.MsgBufPos++]);
  if (ch == 0) {
    // A NUL byte ends the text: nothing after it is handed out.
    c.smtp.MsgBufEof = 1;
    c.smtp.MsgBufPos = c.smtp.MsgBufEnd;
  }
  return ch;
}

// The next byte without taking it, after any CR (dropped from text lines
// anyway): 0 at the end of the text, or a read error.
int PeekByte(ChannelContext& c, int& keep) {
  for (;;) {
    if (!c.smtp.MsgBufEof && c.smtp.MsgBufEnd - c.smtp.MsgBufPos <= ClampedLineLimit(c)) {
      if (int rc = Refill(c, keep)) return rc;
    }
    if (c.smtp.MsgBufPos >= c.smtp.MsgBufEnd) return 0;
    const int ch = static_cast<unsigned char>(c.smtp.MsgBuffer[c.smtp.MsgBufPos]);
    if (ch != '\r') return ch;
    ++c.smtp.MsgBufPos;
  }
}

// A line cut at the limit right before its line end takes that line end
// along, so that it does not come out as an empty line of its own.
int TakeLineEnd(ChannelContext& c, int& keep) {
  const int next = PeekByte(c, keep);
  if (next == '\n') ++c.smtp.MsgBufPos;
  return next < 0 ? next : 0;
}

// The look-ahead character if one is kept, else the next byte.
int TakeChar(ChannelContext& c, int& keep) {
  if (c.smtp.PushbackChar != 0) {
    const int ch = static_cast<unsigned char>(c.smtp.PushbackChar);
    c.smtp.PushbackChar = 0;
    return ch;
  }
  return NextByte(c, keep);
}

bool Keep8Bit(const ChannelContext& c) { return c.settings.Allow8Bit != 0; }

// The state of one line being built.
struct LineBuild {
  char* line;
  int count;     // characters written
  int consumed;  // source characters taken
  bool atEnd;    // the source ended the line
};

// Takes the next character for the line: > 0 a character to write, 0 when
// the line has ended (line end or end of text), < 0 a read error.
int NextLineChar(ChannelContext& c, LineBuild& b, int& keep) {
  for (;;) {
    const int ch = TakeChar(c, keep);
    if (ch <= 0) {
      b.atEnd = ch == 0;
      return ch;
    }
    ++b.consumed;
    if (ch == '\n') return 0;
    if (ch != '\r') return ch;
  }
}

// The builders take the text a run at a time where they can: the bytes from
// MsgBufPos on that NextByte would hand out one by one without refilling the
// buffer, so that a run gives the same lines after the same reads. None while
// a look-ahead character waits.
int ReadyRun(const ChannelContext& c) {
  if (c.smtp.PushbackChar != 0) return 0;
  const int n = c.smtp.MsgBufEnd - c.smtp.MsgBufPos - (c.smtp.MsgBufEof ? 0 : ClampedLineLimit(c));
  return n > 0 ? n : 0;
}

const unsigned char* RunStart(const ChannelContext& c) {
  return reinterpret_cast<const unsigned char*>(c.smtp.MsgBuffer) + c.smtp.MsgBufPos;
}

// The first `taken` bytes of the run are used.
void TakeRun(ChannelContext& c, LineBuild& b, int taken) {
  c.smtp.MsgBufPos += taken;
  b.consumed += taken;
}

// How a run ended: used up with the line going on, at the line's end (its
// LF, or a NUL that ends the text as NextByte ends it), or at a full line.
enum class RunEnd { kUsed, kLineEnd, kFull };

// The line ends at byte `i` of the run, an LF or a NUL.
RunEnd EndLineAt(ChannelContext& c, LineBuild& b, int i) {
  if (RunStart(c)[i] == '\n') {
    TakeRun(c, b, i + 1);
    return RunEnd::kLineEnd;
  }
  b.consumed += i;
  c.smtp.MsgBufEof = 1;
  c.smtp.MsgBufPos = c.smtp.MsgBufEnd;
  b.atEnd = true;
  return RunEnd::kLineEnd;
}

// The bytes a plain line takes as they are, with nothing to decide: neither
// a line end, a NUL, a blank (which may end the line) nor a byte TextChar
// replaces, under each 8-bit setting.
struct PlainBytes {
  bool plain[2][256];
};
constexpr PlainBytes MakePlainBytes() {
  PlainBytes t{};
  for (int keep = 0; keep < 2; ++keep) {
    for (int ch = 1; ch < 256; ++ch) {
      const char byte = static_cast<char>(ch);
      t.plain[keep][ch] = TextChar(ch, keep != 0) == byte && ch != ' ' && ch != '\r' && ch != '\n';
    }
  }
  return t;
}
constexpr PlainBytes kPlainBytes = MakePlainBytes();

// Plain text over a run of `n` bytes.
RunEnd PlainRun(ChannelContext& c, LineBuild& b, int n, int limit) {
  const unsigned char* p = RunStart(c);
  const bool keep8Bit = Keep8Bit(c);
  const bool* plain = kPlainBytes.plain[keep8Bit ? 1 : 0];
  const int wrap = c.settings.WrapColumn;
  // Locals: stores into the line could otherwise alias every field.
  char* line = b.line;
  int count = b.count;
  RunEnd end = RunEnd::kUsed;
  int i = 0;
  while (i < n) {
    // Plain bytes as they are, up to the limit; then the byte that stopped them.
    const int stop = n - i < limit - count ? n : i + limit - count;
    while (i < stop && plain[p[i]]) line[count++] = static_cast<char>(p[i++]);
    if (count >= limit) {
      end = RunEnd::kFull;
      break;
    }
    if (i == n) break;
    const unsigned char ch = p[i];
    if (ch == '\n' || ch == '\0') {
      end = RunEnd::kLineEnd;
      break;
    }
    ++i;
    if (ch == '\r') continue;
    line[count++] = TextChar(ch, keep8Bit);
    if ((count >= wrap && ch == ' ') || count >= limit) {
      end = RunEnd::kFull;
      break;
    }
  }
  b.count = count;
  if (end == RunEnd::kLineEnd) return EndLineAt(c, b, i);
  TakeRun(c, b, i);
  return end;
}

// Plain text: a line ends after a space from WrapColumn on, or at LineLimit.
int BuildPlain(ChannelContext& c, LineBuild& b) {
  const int limit = ClampedLineLimit(c);
  int keep = -1;
  for (;;) {
    if (const int n = ReadyRun(c)) {
      const RunEnd end = PlainRun(c, b, n, limit);
      if (end == RunEnd::kFull) return TakeLineEnd(c, keep);
      if (end == RunEnd::kLineEnd) return 0;
      continue;
    }
    const int ch = NextLineChar(c, b, keep);
    if (ch <= 0) return ch;
    b.line[b.count++] = TextChar(ch, Keep8Bit(c));
    if ((b.count >= c.settings.WrapColumn && ch == ' ') || b.count >= limit) return TakeLineEnd(c, keep);
  }
}

// HTML over a run of `n` bytes: `mark` follows the source position after
// the line's last blank; on a full line `ch` is the character that did not fit.
RunEnd HtmlRun(ChannelContext& c, LineBuild& b, TextLineCut& cut, int& mark, int n, int& ch) {
  const unsigned char* p = RunStart(c);
  const int at = c.smtp.MsgBufPos;
  for (int i = 0; i < n; ++i) {
    ch = p[i];
    if (ch == '\r') continue;
    if (ch == '\n' || ch == '\0') return EndLineAt(c, b, i);
    const CutStep step = AddToLine(cut, ch);
    if (step == CutStep::kAddedBlank) mark = at + i + 1;
    if (step == CutStep::kFull) {
      TakeRun(c, b, i + 1);
      return RunEnd::kFull;
    }
  }
  TakeRun(c, b, n);
  return RunEnd::kUsed;
}

// HTML: lines are kept whole up to 998 octets (dot-stuffing included); a
// longer one is cut back to its last blank or tab, whose source position is
// remembered so that the text after it is read again for the next line;
// without one it ends at the limit and the character waits in PushbackChar.
int BuildHtml(ChannelContext& c, LineBuild& b) {
  TextLineCut cut{b.line, kMaxLineOctets, Keep8Bit(c), 0, 0};
  int mark = -1;
  for (;;) {
    int ch = 0;
    if (const int n = ReadyRun(c)) {
      const RunEnd end = HtmlRun(c, b, cut, mark, n, ch);
      if (end == RunEnd::kUsed) continue;
      b.count = cut.count;
      if (end == RunEnd::kLineEnd) return 0;
    } else {
      ch = NextLineChar(c, b, mark);
      b.count = cut.count;
      if (ch <= 0) return ch;
      const CutStep step = AddToLine(cut, ch);
      if (step == CutStep::kAddedBlank) mark = c.smtp.MsgBufPos;
      if (step != CutStep::kFull) continue;
    }
    if (mark >= 0) {
      b.count = cut.blankEnd;
      c.smtp.MsgBufPos = mark;
    } else {
      c.smtp.PushbackChar = static_cast<char>(ch);
    }
    return 0;
  }
}

// Quoted-printable lines are at most 76 characters long, soft break
// included, or LineLimit when that is shorter (at least 4: an escape and the
// soft break).
int QuotedWidth(const ChannelContext& c) {
  const int limit = ClampedLineLimit(c);
  return limit < 4 ? 4 : (limit > kQuotedLineMax ? kQuotedLineMax : limit);
}

// A character that does not fit before the soft break begins the next line.
void SoftBreak(ChannelContext& c, LineBuild& b, int ch) {
  c.smtp.PushbackChar = static_cast<char>(ch);
  b.line[b.count++] = '=';
}

// Quoted-printable over a run of `n` bytes: those followed by another byte
// of the line within the run (no CR, LF or NUL) cannot end the line, so they
// are encoded as one span within the room before the soft break. False when
// there is no such span or the line goes on after it; true when it ended.
bool QuotedRun(ChannelContext& c, LineBuild& b, int n, int width, bool& spanned) {
  const unsigned char* p = RunStart(c);
  const unsigned char* stop = p + (n < width ? n : width);
  for (const int special : {'\n', '\r', '\0'}) {
    if (const void* at = memchr(p, special, static_cast<size_t>(stop - p))) stop = static_cast<const unsigned char*>(at);
  }
  const int span = static_cast<int>(stop - p) - 1;
  spanned = span > 0 && b.count < width;
  if (!spanned) return false;
  int taken = 0;
  b.count += QuoteSpan(reinterpret_cast<const char*>(p), span, b.line + b.count, width - 1 - b.count, taken);
  TakeRun(c, b, taken);
  if (taken == span) return false;
  TakeRun(c, b, 1);
  SoftBreak(c, b, p[taken]);
  return true;
}

// Quoted-printable: '=' and every byte outside 32..126 as "=XX", and a blank
// that ends a line too, so that no relay can strip it. A character that
// does not fit before the soft break '=' begins the next line; the last one
// of a line may take the soft break's place.
int BuildQuoted(ChannelContext& c, LineBuild& b) {
  const int width = QuotedWidth(c);
  int keep = -1;
  for (;;) {
    bool spanned = false;
    if (const int n = ReadyRun(c)) {
      if (QuotedRun(c, b, n, width, spanned)) return 0;
      if (spanned) continue;
    }
    const int ch = NextLineChar(c, b, keep);
    if (ch <= 0) return ch;
    const int next = PeekByte(c, keep);
    if (next < 0) return next;
    const bool lineEnds = next == 0 || next == '\n';
    char out[3];
    const int n = QuoteTextChar(static_cast<char>(ch), lineEnds, out);
    if (b.count + n > (lineEnds ? width : width - 1)) {
      SoftBreak(c, b, ch);
      return 0;
    }
    memcpy(b.line + b.count, out, static_cast<size_t>(n));
    b.count += n;
  }
}

// Base64: the text in its canonical form, every line end CR LF (a CR of
// the source dropped, a LF sent as CR LF), 57 bytes a line as attachments
// go. A LF that finds no room for its CR LF waits for the next line.
int BuildBase64(ChannelContext& c, LineBuild& b) {
  char data[kBase64LineBytes];
  int n = 0;
  int keep = -1;
  while (n < kBase64LineBytes) {
    const int ch = TakeChar(c, keep);
    if (ch < 0) return ch;
    if (ch == 0) {
      b.atEnd = true;
      break;
    }
    if (ch == '\r') continue;
    if (ch == '\n') {
      if (n + 2 > kBase64LineBytes) {
        c.smtp.PushbackChar = '\n';
        break;
      }
      data[n++] = '\r';
    }
    data[n++] = static_cast<char>(ch);
    ++b.consumed;
  }
  b.count = EncodeLine(data, b.line, n);
  return 0;
}

}  // namespace

int GetMsgChar(ChannelContext& c, bool reset) {
  if (reset) {
    c.smtp.MsgBufPos = 0;
    c.smtp.MsgBufEnd = 0;
    c.smtp.MsgBufEof = 0;
    return 0;
  }
  int keep = -1;
  return NextByte(c, keep);
}

int BuildTextLine(ChannelContext& c, char* line, int size) {
  // The longest line: 998 octets and its NUL.
  if (line == nullptr || size < kMaxLineOctets + 1) return kBufferTooSmall;
  line[0] = '\0';
  LineBuild b{line, 0, 0, false};
  int rc;
  if (c.smtp.TextBase64 != 0 && UnicodeMode(c.settings)) {
    rc = BuildBase64(c, b);
  } else if (TextLinesQuotedPrintable(c.smtp.BodyType, UnicodeMode(c.settings))) {
    rc = BuildQuoted(c, b);
  } else if (c.smtp.BodyType == 0) {
    rc = BuildPlain(c, b);
  } else {
    rc = BuildHtml(c, b);
  }
  if (rc < 0) return rc;
  if (b.atEnd && b.consumed == 0) return -1;
  return FinishTextLine(line, b.count);
}

namespace {

// Appends the bytes of `run` but its CRs to the line of `count` octets, a
// stretch between CRs at a time; false when the line would grow longer than
// SMTP allows.
bool AppendWithoutCr(char* line, int& count, const char* run, int length) {
  const char* end = run + length;
  while (run < end) {
    const char* cr = static_cast<const char*>(memchr(run, '\r', static_cast<size_t>(end - run)));
    const char* stop = cr != nullptr ? cr : end;
    const int n = static_cast<int>(stop - run);
    if (n > kMaxLineOctets - count) return false;
    memcpy(line + count, run, static_cast<size_t>(n));
    count += n;
    run = cr != nullptr ? cr + 1 : end;
  }
  return true;
}

}  // namespace

// A line of a finished message is taken from the read-ahead buffer a run of
// bytes at a time, up to its LF, rather than byte by byte.
int BuildRawLine(ChannelContext& c, char* line, int size) {
  if (line == nullptr || size < kMaxLineOctets + 2) return kBufferTooSmall;
  int count = 0;
  bool taken = false;  // some byte of the source belongs to this line
  int keep = -1;
  for (;;) {
    if (!c.smtp.MsgBufEof && c.smtp.MsgBufEnd - c.smtp.MsgBufPos <= ClampedLineLimit(c)) {
      if (int rc = Refill(c, keep)) return rc;
    }
    const char* run = c.smtp.MsgBuffer + c.smtp.MsgBufPos;
    const int available = c.smtp.MsgBufEnd - c.smtp.MsgBufPos;
    if (available <= 0) break;
    const char* lf = static_cast<const char*>(memchr(run, '\n', static_cast<size_t>(available)));
    const int length = lf != nullptr ? static_cast<int>(lf - run) : available;
    const char* nul = static_cast<const char*>(memchr(run, '\0', static_cast<size_t>(length)));
    const int usable = nul != nullptr ? static_cast<int>(nul - run) : length;
    if (!AppendWithoutCr(line, count, run, usable)) return kRawLineTooLong;
    if (nul != nullptr) {
      // A NUL byte ends the text, as it does for every message text.
      c.smtp.MsgBufEof = 1;
      c.smtp.MsgBufPos = c.smtp.MsgBufEnd;
      return taken || usable > 0 ? FinishTextLine(line, count) : -1;
    }
    c.smtp.MsgBufPos += length + (lf != nullptr ? 1 : 0);
    taken = true;
    if (lf != nullptr) return FinishTextLine(line, count);
  }
  return taken ? FinishTextLine(line, count) : -1;
}

TextPartLabel MainTextLabel(uint32_t bodyType, const char* userType) {
  switch (bodyType) {
    case 0:
      return {"Content-Type: text/plain", false};
    case 2:
      return {"Content-Type: text/html", false};
    case 3:
      return {"Content-Type: text/enriched", true};
    case 4:
      return {"Content-Type: text/plain; charset=iso-8859-1", true};
    case 9:
      if (userType != nullptr && userType[0] != '\0') return {userType, true};
      return {"Content-Type: text/plain", true};
    default:
      return {"Content-Type: text/plain", true};
  }
}

int NextTextLine(const char* text, int32_t& pos, char* line, int size) {
  if (text == nullptr || line == nullptr || size < 3 || pos < 0 || text[pos] == '\0') return -1;
  TextLineCut cut{line, size - 2 < kMaxLineOctets ? size - 2 : kMaxLineOctets, true, 0, 0};
  int32_t blankPos = -1;
  int32_t i = pos;
  for (; text[i] != '\0'; ++i) {
    const char ch = text[i];
    if (ch == '\r') continue;
    if (ch == '\n') {
      ++i;
      break;
    }
    const CutStep step = AddToLine(cut, static_cast<unsigned char>(ch));
    if (step == CutStep::kAddedBlank) blankPos = i + 1;
    if (step != CutStep::kFull) continue;
    if (blankPos >= 0) {
      cut.count = cut.blankEnd;
      i = blankPos;
    }
    break;
  }
  pos = i;
  return FinishTextLine(line, cut.count);
}
