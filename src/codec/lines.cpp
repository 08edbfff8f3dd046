// Header values folded into physical lines, and text lines cut at the limit.
#include "codec/lines.h"

#include <cstring>

#include "codec/quoted.h"
#include "codec/strings.h"

namespace {

bool IsBreak(char ch) { return ch == '\r' || ch == '\n'; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// The value's byte at `p`, NUL past its end.
char At(const HeaderText& h, int p) {
  for (int k = 0; k < 3; ++k) {
    if (p < h.length[k]) return h.value[k][p];
    p -= h.length[k];
  }
  return '\0';
}

// Moves past line breaks and past blanks that reach only up to a line break
// or the end, so that no line of blanks alone is built; whether a line break
// was passed.
bool SkipEmpty(const HeaderText& h, int& pos) {
  bool passedBreak = false;
  for (;;) {
    int end = pos;
    while (IsBlank(At(h, end))) ++end;
    if (IsBreak(At(h, end))) {
      passedBreak = true;
      pos = end;
      while (IsBreak(At(h, pos))) ++pos;
      continue;
    }
    if (At(h, end) == '\0') pos = end;
    return passedBreak;
  }
}

// Copies the prefix, leaving room for at least one byte of the value.
int CopyPrefix(const char* prefix, char* out, int limit) {
  int n = 0;
  while (prefix != nullptr && prefix[n] != '\0' && n < limit - 1) {
    out[n] = prefix[n];
    ++n;
  }
  return n;
}

// A run of blanks too long to fit before the text behind it is shortened, so
// that the line can hold some of that text and is not blanks alone.
void ShortenBlankRun(HeaderText& h, int room) {
  int end = h.pos;
  while (IsBlank(At(h, end))) ++end;
  const char after = At(h, end);
  const bool textFollows = after != '\0' && !IsBreak(after);
  if (textFollows && end - h.pos >= room) h.pos = end - (room - 1);
}

// Copies the value from `pos` up to a line break, its end or `limit`; a line
// that must go on past the limit is cut back to the best fold point.
int CopyFoldable(HeaderText& h, char* out, int n, int limit) {
  int blankCut = -1, blankPos = 0, sepCut = -1, sepPos = 0;
  bool sawText = false;
  for (char ch; n < limit && (ch = At(h, h.pos)) != '\0' && !IsBreak(ch);) {
    // A fold before a blank needs some text on the line, or the line would be
    // blanks only and the value would make no progress.
    if (IsBlank(ch) && sawText) {
      blankCut = n;
      blankPos = h.pos;
    }
    out[n++] = ch;
    ++h.pos;
    if (!IsBlank(ch)) sawText = true;
    if (h.listSep != 0 && ch == h.listSep && sawText) {
      sepCut = n;
      sepPos = h.pos;
    }
  }
  const char next = At(h, h.pos);
  if (n == limit && next != '\0' && !IsBreak(next)) {
    if (sepCut > 0) {
      n = sepCut;
      h.pos = sepPos;
    } else if (blankCut > 0) {
      n = blankCut;
      h.pos = blankPos;
    }
  }
  return n;
}

// The first line's start: the prefix, after the empty lines a block begins
// with. False when the block has no line at all.
bool StartHeader(HeaderText& h, char* out, int limit, int& n) {
  h.started = true;
  for (int k = 0; k < 3; ++k) h.length[k] = StringLength(h.value[k]);
  if (h.lines) {
    SkipEmpty(h, h.pos);
    if (At(h, h.pos) == '\0') return false;
  }
  n = CopyPrefix(h.prefix, out, limit);
  return true;
}

}  // namespace

int NextHeaderLine(HeaderText& h, char* out, int size) {
  if (out == nullptr || size < 3) return -1;
  const int limit = size - 1 < kMaxLineOctets ? size - 1 : kMaxLineOctets;
  int n = 0;
  bool continuation = false;
  if (!h.started) {
    if (!StartHeader(h, out, limit, n)) return -1;
  } else {
    const bool afterBreak = SkipEmpty(h, h.pos);
    if (At(h, h.pos) == '\0') return -1;
    continuation = !(afterBreak && h.lines);
  }
  const char first = At(h, h.pos);
  if (continuation) {
    // The blank that makes this line a continuation: the value's own, or one
    // put in.
    out[n++] = IsBlank(first) ? first : ' ';
    if (IsBlank(first)) ++h.pos;
  } else if (h.lines && first == '.') {
    out[n++] = '.';
  }
  if (n < limit) ShortenBlankRun(h, limit - n);
  n = CopyFoldable(h, out, n, limit);
  out[n] = '\0';
  return n;
}

int FoldHeader(HeaderText header, char* out, int size) {
  if (out == nullptr || size < 1) return -1;
  char line[kMaxLineOctets + 1];
  int used = 0;
  bool first = true;
  for (int n; (n = NextHeaderLine(header, line, sizeof line)) >= 0; first = false) {
    const int joint = first ? 0 : 2;
    if (used + joint + n >= size) return -1;
    memcpy(out + used, "\r\n", static_cast<size_t>(joint));
    memcpy(out + used + joint, line, static_cast<size_t>(n));
    used += joint + n;
  }
  out[used] = '\0';
  return used;
}

CutStep AddToLine(TextLineCut& cut, int ch) {
  const int room = cut.count > 0 && cut.line[0] == '.' ? cut.cap - 1 : cut.cap;
  if (cut.count >= room) return CutStep::kFull;
  const char out = TextChar(ch, cut.keep8Bit);
  cut.line[cut.count++] = out;
  if (!IsBlank(out)) return CutStep::kAdded;
  cut.blankEnd = cut.count;
  return CutStep::kAddedBlank;
}

int FinishTextLine(char* line, int count) {
  if (count > 0 && line[0] == '.') {
    memmove(line + 1, line, static_cast<size_t>(count));
    ++count;
  }
  line[count] = '\0';
  return count;
}
