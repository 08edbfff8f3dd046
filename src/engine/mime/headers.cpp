// The header readers of the decoder: boundaries, transfer encoding,
// disposition, the part's name, and the creation of its file.
#include <cstring>

#include "codec/base64.h"
#include "codec/strings.h"
#include "engine/mime/names.h"
#include "engine/mime/params.h"
#include "engine/mime/steps.h"
#include "engine/mime/words.h"

namespace {

// "--" and the parameter's value, at most kMimeBoundaryMax characters in all:
// its length, 0 when the line holds no usable value.
int ReadBoundary(const char* line, int from, char* out) {
  ParamValue v;
  if (!FindParameter(line, from, "boundary=", v) || v.length == 0) return 0;
  const int length = v.length < kMimeBoundaryMax - 2 ? v.length : kMimeBoundaryMax - 2;
  out[0] = '-';
  out[1] = '-';
  memcpy(out + 2, line + v.start, static_cast<size_t>(length));
  out[length + 2] = '\0';
  return length + 2;
}

bool IsNameKept(const MimeFilter& f, uint32_t hash) {
  for (int i = 0; i < f.namesKept; ++i) {
    if (f.keptNames[i] == hash) return true;
  }
  return false;
}

bool StartsWith(const char* line, int length, const char* text, int count) {
  return length >= count && CompareNoCase(line, text, count);
}

// The level whose boundary begins the line, the deepest first (a nested
// boundary may begin with the text of an outer one): -1 when none.
int BoundaryLevel(const MimeFilter& f, const char* line, int length) {
  for (int level = f.depth; level > 0; --level) {
    const int n = f.nestedLength[level - 1];
    if (n > 0 && StartsWith(line, length, f.nested[level - 1], n)) return level;
  }
  return f.topLength > 0 && StartsWith(line, length, f.top, f.topLength) ? 0 : -1;
}

bool IsMultipart(const char* line) {
  if (!CompareNoCase(line, "Content-Type:", 13)) return false;
  int at = 13;
  while (line[at] == ' ' || line[at] == '\t') ++at;
  return CompareNoCase(line + at, "multipart/", 10);
}

TextCoding CodingOf(const MimeRun& r) { return r.s.unicode ? TextCoding::kUtf8 : TextCoding::kLatin1; }

// The name a parameter in the form of RFC 2231 gives, in the decoder's
// coding, into `out` (kMimeLineMax + 2 bytes): false when there is none.
bool ReadExtendedName(const MimeRun& r, const char* line, char* out) {
  const bool disposition = CompareNoCase(line, "Content-Disposition:", 20);
  char raw[kMimeLineMax + 2];
  char charset[48];
  int length = 0;
  if (!FindExtendedParameter(line, 13, disposition ? "filename" : "name", charset, sizeof charset, raw, sizeof raw,
                             length)) {
    return false;
  }
  // Room for the whole name, so that its extension is still there when it
  // is shortened; and for the NUL.
  char converted[kMimeLineMax + 2];
  const int n = ConvertText(charset, raw, length, CodingOf(r), converted, sizeof converted - 1);
  converted[n] = '\0';
  BoundedCopy(out, converted + BaseNameStart(converted, n), kMimeLineMax);
  return true;
}

}  // namespace

void ClosePart(MimeRun& r, bool saved) {
  MimeFilter& f = r.f;
  f.heldEnd.length = 0;
  f.carry.length = 0;
  if (!f.partOpen) return;
  const int length = StringLength(f.path);
  char* path = Reserve(r, length + 1);
  if (path != nullptr) memcpy(path, f.path, static_cast<size_t>(length) + 1);
  MimeAction* close = Emit(r, MimeOp::kPartClose, path != nullptr ? path : "", path != nullptr ? length : 0);
  if (close != nullptr) {
    close->saved = saved;
    close->nameStart = path != nullptr ? f.nameStart : 0;
  }
  if (saved && f.namesKept < kMimeNamesKept) f.keptNames[f.namesKept++] = f.nameHash;
  f.partOpen = 0;
  f.partHandle = 0;
}

void FinishPartBytes(MimeRun& r) {
  MimeFilter& f = r.f;
  if (!f.partOpen || f.encoding != kEncodingBase64 || f.carry.length == 0) return;
  char* room = Reserve(r, 4);
  const int n = room != nullptr ? FinishBase64(f.carry, room) : 0;
  if (n > 0) Emit(r, MimeOp::kPartBytes, room, n);
}

bool FindBoundaryLine(MimeRun& r, const char* line, int length) {
  MimeFilter& f = r.f;
  if (length < 2 || line[0] != '-' || line[1] != '-') return false;
  const int level = BoundaryLevel(f, line, length);
  if (level < 0) return false;
  UuEnd(r);
  FinishPartBytes(r);
  // The levels inside the one that goes on are over.
  f.depth = level;
  f.partLevel = level;
  f.dispositionNamed = 0;
  f.textPart = 0;
  f.charset[0] = '\0';
  f.textCarry.length = 0;
  ++f.boundaryCount;
  f.mode = kMimePartHeaders;
  f.encoding = kEncodingNone;
  f.inlinePart = 0;
  BoundedCopy(f.name, "incoming.mai", kMimeNameMax);
  f.carry.length = 0;
  f.bodyShown = 0;
  Log(r, "[Boundary line found]\r\n");
  return true;
}

bool ReadTopBoundary(MimeRun& r, const char* line) {
  MimeFilter& f = r.f;
  if (!CompareNoCase(line, "Content-Type:", 13)) return false;
  char top[kMimeBoundaryMax + 2];
  const int length = ReadBoundary(line, 13, top);
  if (length == 0) return false;
  memcpy(f.top, top, static_cast<size_t>(length) + 1);
  f.topLength = length;
  f.depth = 0;
  f.partLevel = 0;
  f.mode = kMimePreamble;
  ClosePart(r, false);
  Logf(r, "[MIME boundary defined %d (%s)]\r\n", static_cast<int>(f.topLength), f.top);
  return true;
}

bool ReadNestedBoundary(MimeRun& r, const char* line) {
  MimeFilter& f = r.f;
  // A level below the deepest one followed is not: its parts stay text.
  if (!IsMultipart(line) || f.partLevel >= kMimeDepthMax) return false;
  char nested[kMimeBoundaryMax + 2];
  const int length = ReadBoundary(line, 13, nested);
  if (length == 0) return false;
  const int level = f.partLevel + 1;
  memcpy(f.nested[level - 1], nested, static_cast<size_t>(length) + 1);
  f.nestedLength[level - 1] = length;
  f.depth = level;
  Logf(r, "[Alternate MIME boundary defined %d (%s)]\r\n", static_cast<int>(f.topLength), nested);
  return true;
}

bool ReadTransferEncoding(MimeRun& r, const char* line) {
  if (!CompareNoCase(line, "Content-Transfer-Encoding:", 26)) return false;
  const char* value = line + 26;
  if (FindNoCase(value, "base64") != nullptr) {
    r.f.encoding = kEncodingBase64;
    Log(r, "[Encoding is BASE64]\r\n");
  } else if (FindNoCase(value, "quoted-printable") != nullptr) {
    r.f.encoding = kEncodingQuoted;
    Log(r, "[Encoding is QUOTED]\r\n");
  } else if (r.s.unicode && FindNoCase(value, "uue") != nullptr) {
    r.f.encoding = kEncodingUu;
    Log(r, "[Encoding is UUENCODE]\r\n");
  } else if (FindNoCase(value, "7bit") != nullptr) {
    r.f.encoding = kEncoding7Bit;
    Log(r, "[Encoding is 7-bit]\r\n");
  } else {
    return false;
  }
  return true;
}

bool ReadDisposition(MimeRun& r, const char* line) {
  if (!CompareNoCase(line, "Content-Disposition:", 20)) return false;
  // A bare "inline" decodes into the mail file; with parameters after it the
  // part is saved like an attachment when it has a name.
  const char* found = FindNoCase(line + 20, "inline");
  if (found != nullptr && found[6] != ';') {
    r.f.inlinePart = 1;
    Log(r, "[inline]\r\n");
  }
  return true;
}

bool ExtractPartName(MimeRun& r, const char* line) {
  if (HasEncodedWord(line + 13)) {
    Log(r, "[iso-8859]\r\n");
    Logf(r, "[r:%s]\r\n", line);
  }
  char name[kMimeLineMax + 2];
  int length = 0;
  if (ReadExtendedName(r, line, name)) {
    length = StringLength(name);
  } else {
    ParamValue v;
    if (!FindParameter(line, 13, "name=", v)) return false;
    char value[kMimeLineMax + 2];
    const int valueLength = UnquoteValue(line + v.start, v.length, value);
    value[valueLength] = '\0';
    // Any leading path is dropped: the name starts after its last path break
    // (one in the first position stays part of the name).
    const int start = NameStartOutsideWords(value, valueLength);
    length = DecodeEncodedWords(value + start, valueLength - start, name, sizeof name, NameWordRules(CodingOf(r)));
  }
  FitName(name, length, r.s.unicode, r.f.name, kMimeNameMax);
  Logf(r, "[Filename='%s']\r\n", r.f.name);
  return true;
}

namespace {

// The part's file name, made to fit the path and, unless names are numbered,
// kept from the names saved from the message before: "name (2).ext". False
// when not even a shortened name fits.
bool PartFileName(MimeRun& r, char* out, int size) {
  MimeFilter& f = r.f;
  const PartNaming naming{r.s.attachNumber, r.s.numberNames, r.s.counter, r.s.mailFileName, r.s.unicode};
  int n = MakePartFileName(f.name, naming, out, size);
  char path[kMimePathMax + 2];
  const int dirLength = StringLength(r.s.attachDir);
  const int room = kMimePathMax - dirLength - 1;
  if (JoinPath(r.s.attachDir, out, r.s.separator, path, sizeof path) < 0) {
    if (room < 8) return false;
    char cut[kMimePathMax + 2];
    FitName(out, n, r.s.unicode, cut, room - 1);
    n = MakePartFileName(cut, PartNaming{0, false, 0, r.s.mailFileName, r.s.unicode}, out, room + 1);
  }
  if (naming.attachNumber > 0 || naming.numberNames) return true;
  char base[kMimePathMax + 2];
  BoundedCopy(base, out, kMimePathMax);
  for (int number = 2; IsNameKept(f, NameHash(out)) && number < 1000; ++number) {
    char numbered[kMimePathMax + 16];
    const int length = NumberedName(base, number, numbered, sizeof numbered);
    FitName(numbered, length, r.s.unicode, out, room > 0 && room < size - 1 ? room : size - 1);
  }
  return true;
}

}  // namespace

void CreatePartFile(MimeRun& r) {
  MimeFilter& f = r.f;
  Logf(r, "[AttachDir = '%s']\r\n", r.s.attachDir);
  Logf(r, "[Filename = '%s']\r\n", f.name);
  char fileName[kMimeNameMax + 32];
  const bool named = PartFileName(r, fileName, sizeof fileName);
  // A later name header of the same part replaces the file of an earlier one.
  ClosePart(r, false);
  if (!named || JoinPath(r.s.attachDir, fileName, r.s.separator, f.path, kMimePathMax + 1) < 0) {
    // Like a file that cannot be created: the body stays in the mail file.
    Logf(r, "[Cannot open '%s%c%s']\r\n", r.s.attachDir, r.s.separator, fileName);
    return;
  }
  const int length = StringLength(f.path);
  f.nameStart = length - StringLength(fileName);
  f.nameHash = NameHash(fileName);
  Logf(r, "[Creating '%s']\r\n", f.path);
  f.partOpen = 1;
  f.partHandle = 0;
  MimeAction* open = Emit(r, MimeOp::kPartOpen, f.path, length);
  if (open != nullptr) open->nameStart = f.nameStart;
}

// A Content-Disposition or Content-Type line that names the part opens its
// file; the disposition's name wins: a Content-Type name after it is not used.
void ReadPartName(MimeRun& r, const char* text) {
  const bool disposition = ReadDisposition(r, text);
  if (!disposition && (!CompareNoCase(text, "Content-Type:", 13) || r.f.dispositionNamed)) return;
  if (!ExtractPartName(r, text)) return;
  if (disposition) r.f.dispositionNamed = 1;
  CreatePartFile(r);
}

void OpenUnnamedPart(MimeRun& r) {
  MimeFilter& f = r.f;
  if (f.encoding != kEncodingBase64 || f.partOpen || !r.s.saveUnnamed) return;
  if (f.name[0] == '\0') BoundedCopy(f.name, "noname", kMimeNameMax);
  CreatePartFile(r);
}
