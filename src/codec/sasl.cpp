#include "codec/sasl.h"

#include <cstdio>

#include "codec/strings.h"

namespace {

// Appends `text` at `n` within `size` bytes (a NUL kept after it); false
// when it does not fit.
bool Put(char* out, int size, int& n, const char* text, int length) {
  if (length < 0 || n + length >= size) return false;
  for (int i = 0; i < length; ++i) out[n + i] = text[i];
  n += length;
  out[n] = '\0';
  return true;
}

bool Put(char* out, int size, int& n, const char* text) { return Put(out, size, n, text, StringLength(text)); }

// A saslname of RFC 5801: ',' and '=' would end or break the header.
bool PutSaslName(char* out, int size, int& n, const char* name) {
  for (const char* p = name; *p != '\0'; ++p) {
    const char* piece = *p == ',' ? "=2C" : *p == '=' ? "=3D" : nullptr;
    if (!(piece != nullptr ? Put(out, size, n, piece) : Put(out, size, n, p, 1))) return false;
  }
  return true;
}

bool IsEdge(char ch, bool before) {
  if (ch == ' ' || ch == '=' || ch == '\0') return true;
  return before ? ch == '-' : ch == '\r' || ch == '\n';
}

}  // namespace

int BuildXoauth2(const char* user, const char* token, char* out, int size) {
  int n = 0;
  if (out == nullptr || size < 1) return 0;
  bool fits = Put(out, size, n, "user=") && Put(out, size, n, user) && Put(out, size, n, "\x01" "auth=Bearer ") &&
              Put(out, size, n, token) && Put(out, size, n, "\x01\x01");
  if (!fits) out[0] = '\0';
  return fits ? n : 0;
}

int BuildOauthBearer(const char* user, const char* host, int port, const char* token, char* out, int size) {
  int n = 0;
  if (out == nullptr || size < 1) return 0;
  char portText[16];
  snprintf(portText, sizeof portText, "%d", port);
  bool fits = Put(out, size, n, "n,a=") && PutSaslName(out, size, n, user) && Put(out, size, n, ",\x01host=") &&
              Put(out, size, n, host) && Put(out, size, n, "\x01port=") && Put(out, size, n, portText) &&
              Put(out, size, n, "\x01" "auth=Bearer ") && Put(out, size, n, token) && Put(out, size, n, "\x01\x01");
  if (!fits) out[0] = '\0';
  return fits ? n : 0;
}

bool HasWord(const char* text, const char* word) {
  const int length = StringLength(word);
  if (length == 0) return false;
  for (const char* p = text; (p = FindNoCase(p, word)) != nullptr; ++p) {
    if ((p == text || IsEdge(p[-1], true)) && IsEdge(p[length], false)) return true;
  }
  return false;
}
