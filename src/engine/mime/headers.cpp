// The header readers of the decoder: boundaries, transfer encoding,
// disposition, the part's name, and the creation of its file.
#include <cstring>

#include "codec/paths.h"
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

bool StartsWith(const char* line, int length, const char* text, int count) {
  return length >= count && CompareNoCase(line, text, count);
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
  f.partOpen = 0;
  f.partHandle = 0;
}

bool FindBoundaryLine(MimeRun& r, const char* line, int length) {
  MimeFilter& f = r.f;
  if (length < 2 || line[0] != '-' || line[1] != '-') return false;
  if (!(f.topLength > 0 && StartsWith(line, length, f.top, f.topLength)) &&
      !(f.nestedLength > 0 && StartsWith(line, length, f.nested, f.nestedLength))) {
    return false;
  }
  ++f.boundaryCount;
  f.mode = kMimePartHeaders;
  f.encoding = kEncodingNone;
  f.inlinePart = 0;
  BoundedCopy(f.name, "incoming.mai", kMimeNameMax);
  f.carry.length = 0;
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
  f.nestedLength = 0;
  f.nested[0] = '\0';
  f.mode = kMimePreamble;
  ClosePart(r, false);
  Logf(r, "[MIME boundary defined %d (%s)]\r\n", static_cast<int>(f.topLength), f.top);
  return true;
}

bool ReadNestedBoundary(MimeRun& r, const char* line) {
  MimeFilter& f = r.f;
  if (!CompareNoCase(line, "Content-Type: multipart/alternative;", 36) &&
      !CompareNoCase(line, "Content-Type: multipart/mixed", 29)) {
    return false;
  }
  char nested[kMimeBoundaryMax + 2];
  const int length = ReadBoundary(line, 29, nested);
  if (length == 0) return false;
  memcpy(f.nested, nested, static_cast<size_t>(length) + 1);
  f.nestedLength = length;
  Logf(r, "[Alternate MIME boundary defined %d (%s)]\r\n", static_cast<int>(f.topLength), f.nested);
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
  ParamValue v;
  if (!FindParameter(line, 13, "name=", v)) return false;
  // Any leading path is dropped: the name starts after its last path break
  // (one in the first position stays part of the name).
  const int start = v.start + BaseNameStart(line + v.start, v.length);
  DecodeEncodedWords(line + start, v.start + v.length - start, r.f.name, kMimeNameMax + 1, WordStyle::kName);
  Logf(r, "[Filename='%s']\r\n", r.f.name);
  return true;
}

void CreatePartFile(MimeRun& r) {
  MimeFilter& f = r.f;
  Logf(r, "[AttachDir = '%s']\r\n", r.s.attachDir);
  Logf(r, "[Filename = '%s']\r\n", f.name);
  char fileName[kMimeNameMax + 32];
  const PartNaming naming{r.s.attachNumber, r.s.numberNames, r.s.counter, r.s.mailFileName};
  const int nameLength = MakePartFileName(f.name, naming, fileName, sizeof fileName);
  // A later name header of the same part replaces the file of an earlier one.
  ClosePart(r, false);
  if (JoinPath(r.s.attachDir, fileName, r.s.separator, f.path, kMimePathMax + 1) < 0) {
    // Like a file that cannot be created: the body stays in the mail file.
    Logf(r, "[Cannot open '%s%c%s']\r\n", r.s.attachDir, r.s.separator, fileName);
    return;
  }
  const int length = StringLength(f.path);
  f.nameStart = length - nameLength;
  Logf(r, "[Creating '%s']\r\n", f.path);
  f.partOpen = 1;
  f.partHandle = 0;
  MimeAction* open = Emit(r, MimeOp::kPartOpen, f.path, length);
  if (open != nullptr) open->nameStart = f.nameStart;
}

void OpenUnnamedPart(MimeRun& r) {
  MimeFilter& f = r.f;
  if (f.encoding != kEncodingBase64 || f.partOpen || !r.s.saveUnnamed) return;
  if (f.name[0] == '\0') BoundedCopy(f.name, "noname", kMimeNameMax);
  CreatePartFile(r);
}
