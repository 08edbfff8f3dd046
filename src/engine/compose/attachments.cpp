// The attachment parts of a message (states 260 to 267): for every entry of
// the attachment list, its part headers and its content, base64 lines or
// text lines read from the entry's file.
#include <cstdio>
#include <iterator>
#include <vector>

#include "api/errors.h"
#include "codec/base64.h"
#include "codec/strings.h"
#include "engine/compose/attachment_lines.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/lineio.h"

namespace {

// The room a header of the part may take, NUL included: a name's RFC 2231
// form (up to 9 characters for each of its bytes) fits beside the fixed text.
constexpr int kHeaderRoom = 20 * 1024;

// The entry being sent is the text at AttachList, cut at its separator.
const char* ShownNameOf(const ChannelContext& c) { return ShownName(c.smtp.AttachList, c.settings.NameSep); }

// A header that cannot be built within the line limits (a shown name of
// thousands of characters) is never sent cut: the send fails.
int SendHeader(ChannelContext& c, uint32_t now, const char* header, int length, int nextState) {
  if (length < 0) return FailStep(c, 0, kCannotOpenFile);
  int rc = SendMessageLine(c, now, header);
  if (rc < 0) return rc;
  c.link.NextState = nextState;
  return kStepDone;
}

// After the last line of a file: the next entry's part, or the end of data.
int EndOfFile(ChannelContext& c) {
  CloseFileHandle(c);
  if (c.smtp.NextAttach == nullptr || c.smtp.NextAttach[0] == '\0') {
    c.link.NextState = EndOfData;
  } else {
    c.smtp.AttachList = c.smtp.NextAttach;
    c.link.NextState = AttachBoundary;
  }
  return kStepDone;
}

int BoundaryStep(ChannelContext& c, uint32_t now, int) {
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "\r\n\r\n--%s", c.settings.Boundary);
  return SendHeader(c, now, c.link.CommandBuffer, 0, AttachType);
}

int TypeStep(ChannelContext& c, uint32_t now, int) {
  char* entry = c.smtp.AttachList;
  char* sep = c.settings.AttachSep != '\0' ? const_cast<char*>(FindChar(entry, c.settings.AttachSep)) : nullptr;
  if (sep != nullptr) {
    *sep = '\0';
    c.smtp.NextAttach = sep + 1;
  } else {
    c.smtp.NextAttach = entry + StringLength(entry);
  }
  const char* name = ShownNameOf(c);
  const char* image = c.smtp.DetectImageTypes ? ImageType(name) : nullptr;
  c.smtp.InlineImage = image != nullptr ? 1 : 0;
  if (image != nullptr) ++c.smtp.ContentIdCount;
  const AttachmentLook look = {c.smtp.TextAttachments != 0, c.settings.AttachContentType, UnicodeMode(c.settings)};
  std::vector<char> header(kHeaderRoom);
  int length = BuildAttachTypeHeader(header.data(), kHeaderRoom, name, image, c.smtp.ContentIdCount, look);
  return SendHeader(c, now, header.data(), length, AttachEncoding);
}

int EncodingStep(ChannelContext& c, uint32_t now, int) {
  return SendHeader(c, now, AttachEncodingLine(c.smtp.TextAttachments != 0, c.smtp.BodyType, UnicodeMode(c.settings)), 0, AttachDisposition);
}

int DispositionStep(ChannelContext& c, uint32_t now, int) {
  bool inlinePart = c.smtp.InlineImage != 0 || c.smtp.TextAttachments != 0;
  std::vector<char> header(kHeaderRoom);
  int length = BuildDispositionHeader(header.data(), kHeaderRoom, ShownNameOf(c), inlinePart, UnicodeMode(c.settings));
  int rc = SendHeader(c, now, header.data(), length, AttachOpen);
  if (rc == kStepDone) SetTimers(c, now, 0, c.settings.SendWait);
  return rc;
}

int OpenStep(ChannelContext& c, uint32_t, int) {
  // The path ends at the name separator; the entry is restored after the open.
  char* sep = c.settings.NameSep != '\0' ? const_cast<char*>(FindChar(c.smtp.AttachList, c.settings.NameSep)) : nullptr;
  if (sep != nullptr) *sep = '\0';
  int handle = OpenInputFile(c, c.smtp.AttachList);
  if (sep != nullptr) *sep = c.settings.NameSep;
  if (handle < 0) return FailStep(c, handle, kCannotOpenFile);
  if (c.smtp.TextAttachments) {
    GetMsgChar(c, true);
    c.smtp.PushbackChar = 0;
    c.smtp.TextInMemory = 0;
    c.link.NextState = AttachTextLine;
  } else {
    c.link.NextState = AttachBase64Line;
  }
  return kStepDone;
}

int Base64LineStep(ChannelContext& c, uint32_t now, int) {
  // A whole line's 57 bytes unless the file ends, so that '=' padding can only
  // come at the very end. A read error (a directory also gives one) fails.
  char data[kBase64LineBytes];
  int count = ReadInputFile(c, data, kBase64LineBytes);
  if (count < 0) return FailStep(c, 0, kCannotOpenFile);
  if (count == 0) return EndOfFile(c);
  c.diag.AttachBytesIn = SaturatingAdd(c.diag.AttachBytesIn, count);
  int length = EncodeLine(data, c.link.CommandBuffer, count);
  c.diag.AttachBytesOut = SaturatingAdd(c.diag.AttachBytesOut, length + 2);
  int rc = WexlSend(ChannelSlot(c), c.link.CommandBuffer, length + 2);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, c.settings.LineWait, c.settings.SendWait);
  return kStepDone;
}

int TextLineStep(ChannelContext& c, uint32_t now, int) {
  int length = BuildTextLine(c, c.link.CommandBuffer, static_cast<int>(sizeof c.link.CommandBuffer));
  if (length < -1) return FailStep(c, 0, length);
  if (length == -1) return EndOfFile(c);
  c.diag.AttachBytesIn = SaturatingAdd(c.diag.AttachBytesIn, length);
  c.diag.AttachBytesOut = SaturatingAdd(c.diag.AttachBytesOut, length + 2);
  return SendMessageLine(c, now, c.link.CommandBuffer);
}

constexpr StateStep kRows[] = {
    {AttachBoundary, Await::kWritable, BoundaryStep}, {AttachType, Await::kNothing, TypeStep},
    {AttachEncoding, Await::kNothing, EncodingStep},  {AttachDisposition, Await::kNothing, DispositionStep},
    {AttachOpen, Await::kNothing, OpenStep},          {AttachBase64Line, Await::kWritable, Base64LineStep},
    {AttachTextLine, Await::kWritable, TextLineStep},
};

}  // namespace

extern const StepTable kComposeAttachSteps = {kRows, static_cast<int>(std::size(kRows))};
