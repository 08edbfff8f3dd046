// Header lines cut into physical lines: folds for line breaks inside values,
// for lines over the length limit, and the message's multipart Content-Type.
#include "engine/compose/header_lines.h"

#include <cstdio>

#include "engine/compose/compose.h"

namespace {

bool IsBreak(char ch) { return ch == '\r' || ch == '\n'; }
bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }

// Moves past line breaks and past blanks that reach only up to a line break
// or the end, so that no line of blanks alone is built; whether a line break
// was passed.
bool SkipEmpty(const char* t, int& pos) {
  bool passedBreak = false;
  for (;;) {
    int end = pos;
    while (IsBlank(t[end])) ++end;
    if (IsBreak(t[end])) {
      passedBreak = true;
      pos = end;
      while (IsBreak(t[pos])) ++pos;
      continue;
    }
    if (t[end] == '\0') pos = end;
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
void ShortenBlankRun(HeaderText& h, const char* t, int room) {
  int end = h.pos;
  while (IsBlank(t[end])) ++end;
  const bool textFollows = t[end] != '\0' && !IsBreak(t[end]);
  if (textFollows && end - h.pos >= room) h.pos = end - (room - 1);
}

// Copies the value from `pos` up to a line break, its end or `limit`; a line
// that must go on past the limit is cut back to the best fold point.
int CopyFoldable(HeaderText& h, const char* t, char* out, int n, int limit) {
  int blankCut = -1, blankPos = 0, sepCut = -1, sepPos = 0;
  bool sawText = false;
  while (n < limit && t[h.pos] != '\0' && !IsBreak(t[h.pos])) {
    const char ch = t[h.pos];
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
  const bool goesOn = t[h.pos] != '\0' && !IsBreak(t[h.pos]);
  if (n == limit && goesOn) {
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

}  // namespace

int NextHeaderLine(HeaderText& h, char* out, int size) {
  if (out == nullptr || size < 3) return -1;
  const char* t = h.text != nullptr ? h.text : "";
  const int limit = size - 1 < kMaxLineOctets ? size - 1 : kMaxLineOctets;
  int n = 0;
  bool continuation = false;
  if (!h.started) {
    h.started = true;
    if (h.lines) {
      SkipEmpty(t, h.pos);
      if (t[h.pos] == '\0') return -1;
    }
    n = CopyPrefix(h.prefix, out, limit);
  } else {
    const bool afterBreak = SkipEmpty(t, h.pos);
    if (t[h.pos] == '\0') return -1;
    continuation = !(afterBreak && h.lines);
  }
  if (continuation) {
    // The blank that makes this line a continuation: the value's own, or one
    // put in.
    out[n++] = IsBlank(t[h.pos]) ? t[h.pos++] : ' ';
  } else if (h.lines && t[h.pos] == '.') {
    out[n++] = '.';
  }
  if (n < limit) ShortenBlankRun(h, t, limit - n);
  n = CopyFoldable(h, t, out, n, limit);
  out[n] = '\0';
  return n;
}

int MessageContentType(bool html, bool alternative, const char* boundary, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  const char* b = boundary != nullptr ? boundary : "";
  int n;
  if (html && alternative) {
    n = snprintf(out, static_cast<size_t>(size),
                 "Content-Type: multipart/related;type=\"multipart/alternative\";\r\n boundary=\"%s\"", b);
  } else if (html) {
    n = snprintf(out, static_cast<size_t>(size), "Content-Type: multipart/related; boundary=\"%s\"", b);
  } else {
    n = snprintf(out, static_cast<size_t>(size), "Content-Type: multipart/mixed; boundary=\"%s\"", b);
  }
  if (n < 0) return 0;
  return n < size ? n : size - 1;
}
