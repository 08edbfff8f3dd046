// Win32 side of the character-set conversion: the MIME name looked up as a
// code page, then MultiByteToWideChar and WideCharToMultiByte.
#include <windows.h>

#include "platform/platform.h"

namespace platform {

namespace {

struct CodePageName {
  const char* name;
  UINT codePage;
};

constexpr CodePageName kCodePages[] = {
    {"UTF-8", CP_UTF8},         {"US-ASCII", 20127},      {"ISO-8859-1", 28591},  {"ISO-8859-2", 28592},
    {"ISO-8859-3", 28593},      {"ISO-8859-4", 28594},    {"ISO-8859-5", 28595},  {"ISO-8859-6", 28596},
    {"ISO-8859-7", 28597},      {"ISO-8859-8", 28598},    {"ISO-8859-8-I", 28598}, {"ISO-8859-9", 28599},
    {"ISO-8859-10", 28600},     {"ISO-8859-11", 874},     {"ISO-8859-13", 28603}, {"ISO-8859-14", 28604},
    {"ISO-8859-15", 28605},     {"WINDOWS-1250", 1250},   {"WINDOWS-1251", 1251}, {"WINDOWS-1252", 1252},
    {"WINDOWS-1253", 1253},     {"WINDOWS-1254", 1254},   {"WINDOWS-1255", 1255}, {"WINDOWS-1256", 1256},
    {"WINDOWS-1257", 1257},     {"WINDOWS-1258", 1258},   {"WINDOWS-874", 874},   {"TIS-620", 874},
    {"KOI8-R", 20866},          {"KOI8-U", 21866},        {"IBM866", 866},        {"CP866", 866},
    {"IBM850", 850},            {"CP850", 850},           {"SHIFT_JIS", 932},     {"CP932", 932},
    {"EUC-JP", 20932},          {"ISO-2022-JP", 50220},   {"GB2312", 936},        {"GBK", 936},
    {"GB18030", 54936},         {"BIG5", 950},            {"EUC-KR", 949},        {"KS_C_5601-1987", 949},
    {"MACINTOSH", 10000},
};

// The names compared with a-z folded to A-Z.
bool SameName(const char* upper, const char* name) {
  for (; *upper != '\0'; ++upper, ++name) {
    const char ch = *name >= 'a' && *name <= 'z' ? static_cast<char>(*name - 32) : *name;
    if (ch != *upper) return false;
  }
  return *name == '\0';
}

UINT LookUp(const char* charset) {
  for (const CodePageName& entry : kCodePages) {
    if (SameName(entry.name, charset)) return entry.codePage;
  }
  return 0;
}

// The bytes at the end of `in` that may begin a sequence not yet complete:
// a UTF-8 lead byte without all its followers, or a lead byte of a
// double-byte code page.
int IncompleteTail(UINT codePage, const char* in, int length) {
  if (codePage == CP_UTF8) {
    for (int back = 1; back <= 3 && back <= length; ++back) {
      const unsigned char ch = static_cast<unsigned char>(in[length - back]);
      if ((ch & 0xC0) == 0x80) continue;
      const int need = ch >= 0xF0 ? 4 : ch >= 0xE0 ? 3 : ch >= 0xC0 ? 2 : 1;
      return need > back ? back : 0;
    }
    return 0;
  }
  int tail = 0;
  while (tail < length && IsDBCSLeadByteEx(codePage, static_cast<BYTE>(in[length - 1 - tail]))) ++tail;
  return tail % 2;
}

}  // namespace

int ConvertToUtf8(const char* charset, const char* in, int inLength, char* out, int outSize, int* used) {
  if (charset == nullptr || in == nullptr || out == nullptr || inLength < 0 || outSize < 0) return -1;
  const UINT codePage = LookUp(charset);
  if (codePage == 0 || (codePage != CP_UTF8 && !IsValidCodePage(codePage))) return -1;
  const int take = used != nullptr ? inLength - IncompleteTail(codePage, in, inLength) : inLength;
  if (used != nullptr) *used = take;
  if (take == 0 || outSize == 0) return 0;
  // One slice at a time, so that no buffer grows with the text.
  int written = 0;
  for (int at = 0; at < take && written < outSize;) {
    int n = take - at < 512 ? take - at : 512;
    n -= n < take - at ? IncompleteTail(codePage, in + at, n) : 0;
    if (n <= 0) n = take - at < 512 ? take - at : 512;
    wchar_t wide[1024];
    const int count = MultiByteToWideChar(codePage, 0, in + at, n, wide, 1024);
    if (count <= 0) return written;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, out + written, outSize - written, nullptr, nullptr);
    if (bytes <= 0) return written;  // `out` is full
    written += bytes;
    at += n;
  }
  return written;
}

}  // namespace platform
