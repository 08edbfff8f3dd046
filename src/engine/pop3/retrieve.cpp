// What kovGetEmailLines (TOP into a buffer) and kovGetEmailFile (RETR into a
// mail file, raw or decoded) run, states 309 to 314.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "api/blocks.h"
#include "api/log.h"
#include "codec/strings.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "engine/mime/channel.h"
#include "api/decoder_state.h"
#include "engine/pop3/pop3.h"
#include "engine/pop3/text.h"
#include "files/file_out.h"
#include "kov32.h"
#include "net/connections.h"
#include "net/lineio.h"
#include "platform/platform.h"

namespace {

// Width of the file name and directory fields.
constexpr int kPathField = 128;
// The largest mail-lines buffer: its block (two bytes more) stays within
// what a block size can count.
constexpr int kMostMailLines = INT32_MAX - 64;

// Closes the files of a download at the end of its message: a part still
// open is completed, noted and listed, then the mail file is closed. 0, or
// -1 when what was still pending could not be written.
int FinishMessageFiles(ChannelContext& c) {
  int part = CloseAttachment(c, true);
  int mail = CloseOutFile(c, OutFile::kMail);
  return part < 0 || mail < 0 ? -1 : 0;
}

// The final line ends the message; after any other piece the next one is
// due within MaxWait.
int AfterMessagePiece(ChannelContext& c, uint32_t now, const Piece& p) {
  if (!p.status && p.lineStart && EndsMessage(p.text, p.length)) {
    c.link.NextState = Pop3MessageEnd;
  } else {
    AwaitNextPiece(c, now);
  }
  return kStepDone;
}

// A line starting with a stuffed dot loses it.
void Unstuff(Piece& p) {
  if (p.status || !p.lineStart || p.text[0] != '.') return;
  ++p.text;
  --p.length;
}

// The mail file is created before RETR is sent: a refusal leaves it behind.
int SendRetrStep(ChannelContext& c, uint32_t now, int) {
  LogFormat(c, "Saving email to '%s'\r\n", c.pop.MailFilePath);
  if (!CreateOutFile(c, OutFile::kMail, c.pop.MailFilePath)) return FailStep(c, 0, kCannotCreateFile);
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "RETR %d", c.pop.MessageNumber);
  BeginResponse(c);
  // KOV_DECODE_MODE 1 asks for the message as received; it keeps that value
  // from one download to the next.
  const bool raw = c.pop.DecodeMode == kMimeRaw;
  return SendPop3Command(c, now, c.link.CommandBuffer, raw ? 0 : c.settings.MinWait, raw ? Pop3RawLine : Pop3MessageLine,
                         kReadError);
}

// Raw mode: every byte as received, the status line and the final "." line
// included. A refusal is written too, then fails the download.
int RawLineStep(ChannelContext& c, uint32_t now, int) {
  Piece p;
  if (int rc = TakePiece(c, now, p)) return rc;
  c.diag.TextBytesIn = SaturatingAdd(c.diag.TextBytesIn, p.length);
  int written = WriteOutFile(c, OutFile::kMail, p.text, p.length);
  if (written < 0) return FailStep(c, 0, kCannotWriteFile);
  c.diag.TextBytesOut = SaturatingAdd(c.diag.TextBytesOut, written);
  if (Refused(p)) return FailStep(c, 0, kPop3Error);
  return AfterMessagePiece(c, now, p);
}

// Decoded mode: the status line stays out of the mail file; the message's
// lines, unstuffed, go through the decoder.
int MessageLineStep(ChannelContext& c, uint32_t now, int) {
  Piece p;
  if (int rc = TakePiece(c, now, p)) return rc;
  if (Refused(p)) return FailStep(c, 0, kPop3Error);
  if (p.status) {
    AwaitNextPiece(c, now);
    return kStepDone;
  }
  if (p.lineStart && EndsMessage(p.text, p.length)) return AfterMessagePiece(c, now, p);
  Unstuff(p);
  if (FilterMessageLine(c, p.text, p.length) < 0) return FailStep(c, 0, kCannotWriteFile);
  AwaitNextPiece(c, now);
  return kStepDone;
}

int SendTopStep(ChannelContext& c, uint32_t now, int) {
  LogText(c, "[Saving to buffer]\r\n");
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, "TOP %d %d", c.pop.MessageNumber, c.pop.TopLines);
  BeginResponse(c);
  return SendPop3Command(c, now, c.link.CommandBuffer, c.settings.MinWait, Pop3TopLine, kReadError);
}

// The buffer takes the response as sent, status line and line ends
// included, dots unstuffed, cut at its size and not terminated.
int TopLineStep(ChannelContext& c, uint32_t now, int) {
  Piece p;
  if (int rc = TakePiece(c, now, p)) return rc;
  if (!p.status && p.lineStart && EndsMessage(p.text, p.length)) return AfterMessagePiece(c, now, p);
  Unstuff(p);
  c.diag.TextBytesIn = SaturatingAdd(c.diag.TextBytesIn, p.length);
  CopyToUserBuffer(c, p.text, p.length);
  if (Refused(p)) return FailStep(c, 0, kPop3Error);
  AwaitNextPiece(c, now);
  return kStepDone;
}

int MessageEndStep(ChannelContext& c, uint32_t, int) {
  WexlDrain(ChannelSlot(c));
  LogText(c, "[CLOSE]\r\n");
  if (FinishMessageFiles(c) < 0) return FailStep(c, 0, kCannotWriteFile);
  c.link.NextState = Done;
  return kStepDone;
}

constexpr StateStep kRows[] = {
    {Pop3RawLine, Await::kNothing, RawLineStep},       {Pop3SendRetr, Await::kWritable, SendRetrStep},
    {Pop3SendTop, Await::kWritable, SendTopStep},      {Pop3MessageLine, Await::kNothing, MessageLineStep},
    {Pop3MessageEnd, Await::kNothing, MessageEndStep}, {Pop3TopLine, Await::kNothing, TopLineStep},
};

// The channel's mail-lines buffer of `size` bytes, two more zero-filled
// bytes keeping its text terminated; the previous one is freed first.
char* MailLinesBuffer(int channel, int size) {
  FreeMemory(channel, kMailLinesSlot, kMailLinesSlot);
  return size > kMostMailLines ? nullptr : AllocateMemory(channel, kMailLinesSlot, size + 2);
}

// Whether the call's texts fit their fields and the mail file's path.
bool PathsFit(ChannelContext& c, const char* name, const char* dir, const char* attachDir) {
  return StringLength(name) <= kPathField && StringLength(dir) <= kPathField && StringLength(attachDir) <= kPathField &&
         JoinPath(dir, name, platform::PathSeparator(), c.pop.MailFilePath, kPathField + 1) >= 0;
}

}  // namespace

extern const StepTable kPop3RetrieveSteps = {kRows, static_cast<int>(std::size(kRows))};

int PrepareTopLines(ChannelContext& c, int number, int lines, char* buffer, int size) {
  if (buffer == nullptr) buffer = MailLinesBuffer(c.ChannelNumber, size);
  if (buffer == nullptr) return kNoMemory;
  c.pop.TopLines = lines < 0 ? 0 : lines;
  c.pop.MessageNumber = number;
  c.pop.UserBuffer = buffer;
  c.pop.UserBufferSize = size;
  c.pop.UserBufferLength = 0;
  c.decoder.AttachDir[0] = '\0';
  c.diag.TextBytesIn = c.diag.AttachBytesIn = 0;
  return Pop3SendTop;
}

int PrepareMessageFile(ChannelContext& c, int number, const char* name, const char* dir, const char* attachDir) {
  // A text cut to fit could put two messages into one file: refused
  // before any file is created or anything sent.
  if (!PathsFit(c, name, dir, attachDir)) return kCannotCreateFile;
  c.pop.MessageNumber = number;
  BoundedCopy(c.pop.MailFileName, name, kPathField);
  BoundedCopy(c.decoder.AttachDir, attachDir, kPathField);
  c.pop.UserBuffer = nullptr;
  c.pop.UserBufferSize = c.pop.UserBufferLength = 0;
  c.diag.TextBytesIn = c.diag.AttachBytesIn = c.diag.TextBytesOut = 0;
  // Nothing of the message before carries over: decoder state, saved
  // names and count.
  StartMessageDecoding(c);
  return Pop3SendRetr;
}
