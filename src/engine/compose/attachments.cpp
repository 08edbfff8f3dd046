// The attachment parts of a message (states 260 to 267): for every entry of
// the attachment list, its part headers and its content, base64 lines or
// text lines read from the entry's file.
#include <cstdio>
#include <iterator>

#include "api/errors.h"
#include "codec/base64.h"
#include "codec/strings.h"
#include "engine/compose/attachment_lines.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/lineio.h"

namespace {

// The room a header of the part may take in CommandBuffer, NUL included.
constexpr int kHeaderRoom = static_cast<int>(sizeof(ChannelContext::CommandBuffer)) - 1;

// The entry being sent is the text at AttachList, cut at its separator.
const char* ShownNameOf(const ChannelContext& c) { return ShownName(c.AttachList, gSettings.NameSep); }

// A header that cannot be built within the line limits (a shown name of
// thousands of characters) is never sent cut: the send fails.
int SendHeader(ChannelContext& c, uint32_t now, int length, int nextState) {
  if (length < 0) return FailStep(c, 0, kCannotOpenFile);
  int rc = SendMessageLine(c, now, c.CommandBuffer);
  if (rc < 0) return rc;
  c.NextState = nextState;
  return kStepDone;
}

// After the last line of a file: the next entry's part, or the end of data.
int EndOfFile(ChannelContext& c) {
  CloseFileHandle(c);
  if (c.NextAttach == nullptr || c.NextAttach[0] == '\0') {
    c.NextState = EndOfData;
  } else {
    c.AttachList = c.NextAttach;
    c.NextState = AttachBoundary;
  }
  return kStepDone;
}

int BoundaryStep(ChannelContext& c, uint32_t now, int) {
  snprintf(c.CommandBuffer, sizeof c.CommandBuffer, "\r\n\r\n--%s", Boundary);
  return SendHeader(c, now, 0, AttachType);
}

int TypeStep(ChannelContext& c, uint32_t now, int) {
  char* entry = c.AttachList;
  char* sep = gSettings.AttachSep != '\0' ? const_cast<char*>(FindChar(entry, gSettings.AttachSep)) : nullptr;
  if (sep != nullptr) {
    *sep = '\0';
    c.NextAttach = sep + 1;
  } else {
    c.NextAttach = entry + StringLength(entry);
  }
  const char* name = ShownNameOf(c);
  const char* image = c.DetectImageTypes ? ImageType(name) : nullptr;
  c.InlineImage = image != nullptr ? 1 : 0;
  if (image != nullptr) ++c.ContentIdCount;
  const AttachmentLook look = {c.TextAttachments != 0, gSettings.AttachContentType};
  int length = BuildAttachTypeHeader(c.CommandBuffer, kHeaderRoom, name, image, c.ContentIdCount, look);
  return SendHeader(c, now, length, AttachEncoding);
}

int EncodingStep(ChannelContext& c, uint32_t now, int) {
  BoundedCopy(c.CommandBuffer, AttachEncodingLine(c.TextAttachments != 0, c.BodyType), kHeaderRoom - 1);
  return SendHeader(c, now, 0, AttachDisposition);
}

int DispositionStep(ChannelContext& c, uint32_t now, int) {
  bool inlinePart = c.InlineImage != 0 || c.TextAttachments != 0;
  int length = BuildDispositionHeader(c.CommandBuffer, kHeaderRoom, ShownNameOf(c), inlinePart);
  int rc = SendHeader(c, now, length, AttachOpen);
  if (rc == kStepDone) SetTimers(c, now, 0, gSettings.SendWait);
  return rc;
}

int OpenStep(ChannelContext& c, uint32_t, int) {
  // The path ends at the name separator; the entry is restored after the open.
  char* sep = gSettings.NameSep != '\0' ? const_cast<char*>(FindChar(c.AttachList, gSettings.NameSep)) : nullptr;
  if (sep != nullptr) *sep = '\0';
  int handle = OpenInputFile(c, c.AttachList);
  if (sep != nullptr) *sep = gSettings.NameSep;
  if (handle < 0) return FailStep(c, handle, kCannotOpenFile);
  if (c.TextAttachments) {
    GetMsgChar(c, true);
    c.PushbackChar = 0;
    c.TextInMemory = 0;
    c.NextState = AttachTextLine;
  } else {
    c.NextState = AttachBase64Line;
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
  c.AttachBytesIn += count;
  int length = EncodeLine(data, c.CommandBuffer, count);
  c.AttachBytesOut += length + 2;
  int rc = WexlSend(ChannelSlot(c), c.CommandBuffer, length + 2);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  SetTimers(c, now, gSettings.LineWait, gSettings.SendWait);
  return kStepDone;
}

int TextLineStep(ChannelContext& c, uint32_t now, int) {
  int length = BuildTextLine(c, c.CommandBuffer, static_cast<int>(sizeof c.CommandBuffer));
  if (length < -1) return FailStep(c, 0, length);
  if (length == -1) return EndOfFile(c);
  c.AttachBytesIn += length;
  c.AttachBytesOut += length + 2;
  return SendMessageLine(c, now, c.CommandBuffer);
}

constexpr StateStep kRows[] = {
    {AttachBoundary, Await::kWritable, BoundaryStep}, {AttachType, Await::kNothing, TypeStep},
    {AttachEncoding, Await::kNothing, EncodingStep},  {AttachDisposition, Await::kNothing, DispositionStep},
    {AttachOpen, Await::kNothing, OpenStep},          {AttachBase64Line, Await::kWritable, Base64LineStep},
    {AttachTextLine, Await::kWritable, TextLineStep},
};

}  // namespace

extern const StepTable kComposeAttachSteps = {kRows, static_cast<int>(std::size(kRows))};
