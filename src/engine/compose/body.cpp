// The main text part of a composed message (states 234-245 and 400-402):
// its opening boundary, the alternative plain text for HTML mail, the
// Content-Type and transfer-encoding lines, then the text itself, from
// memory or from the file named after '@', one line per step.
#include <cstdio>
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/compose/header_lines.h"
#include "engine/compose/text_lines.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"

namespace {

// Sends a formatted line of CommandBuffer.
int SendFormatted(ChannelContext& c, uint32_t now, const char* format, const char* text) {
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer, format, text);
  return SendMessageLine(c, now, c.link.CommandBuffer);
}

// Sends a header line that may come from the application's settings, and
// with `emptyLineAfter` the empty line that ends the part's headers. A line
// break inside it becomes a fold, so it can never start a line of its own.
int SendPartHeader(ChannelContext& c, uint32_t now, const char* text, bool emptyLineAfter) {
  char* out = c.link.CommandBuffer;
  const int size = static_cast<int>(sizeof c.link.CommandBuffer) - 2;  // room for the empty line's CR LF
  // The settings' texts of at most 128 characters always fit folded.
  int used = FoldHeader(HeaderValue("", text), out, size);
  if (used < 0) used = 0;
  out[used] = '\0';
  if (emptyLineAfter) snprintf(out + used, 3, "\r\n");
  return SendMessageLine(c, now, out);
}

int TextPartStartStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = SendFormatted(c, now, "--%s", c.settings.Boundary)) return rc;
  if (c.smtp.AltText == nullptr) {
    c.link.NextState = TextPartType;
    return kStepDone;
  }
  snprintf(c.link.CommandBuffer, sizeof c.link.CommandBuffer,
           "Content-Type: multipart/alternative; boundary=\"%sALT===\"\r\n", c.settings.Boundary);
  if (int rc = SendMessageLine(c, now, c.link.CommandBuffer)) return rc;
  if (int rc = SendFormatted(c, now, "--%sALT===", c.settings.Boundary)) return rc;
  c.link.NextState = AltPartType;
  return kStepDone;
}

// The alternative text is cut into lines from AltTextPos on. In Unicode mode
// it is labelled UTF-8 and encoded as the message text is, read by the text
// reader from the alternative text.
int AltPartTypeStep(ChannelContext& c, uint32_t now, int) {
  c.smtp.AltTextPos = 0;
  c.link.NextState = AltPartText;
  if (!UnicodeMode(c.settings)) return SendMessageLine(c, now, "Content-Type: text/plain\r\n");
  c.smtp.TextBase64 = TextWantsBase64(c.smtp.AltText, false) ? 1 : 0;
  if (int rc = SendMessageLine(c, now, "Content-Type: text/plain; charset=UTF-8")) return rc;
  if (int rc = SendPartHeader(c, now, TransferEncodingLine(c), true)) return rc;
  GetMsgChar(c, true);
  c.smtp.PushbackChar = 0;
  c.smtp.TextInMemory = kTextInAltText;
  return kStepDone;
}

// One line of the alternative text per step: cut at its line ends, dot-stuffed.
int AltPartTextStep(ChannelContext& c, uint32_t now, int) {
  if (UnicodeMode(c.settings)) {
    const int n = BuildTextLine(c, c.link.CommandBuffer, static_cast<int>(sizeof c.link.CommandBuffer));
    if (n == -1) c.link.NextState = AltPartEnd;
    if (n < -1) return FailStep(c, 0, n);
    return n >= 0 ? SendMessageLine(c, now, c.link.CommandBuffer) : kStepDone;
  }
  const int n = NextTextLine(c.smtp.AltText, c.smtp.AltTextPos, c.link.CommandBuffer, static_cast<int>(sizeof c.link.CommandBuffer));
  if (n >= 0) {
    if (int rc = SendMessageLine(c, now, c.link.CommandBuffer)) return rc;
  }
  if (n < 0 || c.smtp.AltText[c.smtp.AltTextPos] == '\0') c.link.NextState = AltPartEnd;
  return kStepDone;
}

int AltPartEndStep(ChannelContext& c, uint32_t now, int) {
  if (int rc = SendFormatted(c, now, "--%sALT===", c.settings.Boundary)) return rc;
  c.link.NextState = TextPartType;
  return kStepDone;
}

int TextPartTypeStep(ChannelContext& c, uint32_t now, int) {
  const TextPartLabel label = UnicodeMode(c.settings) ? TextPartLabel{UnicodeTextType(c.smtp.BodyType, c.settings.UserContentType), true}
                                            : MainTextLabel(c.smtp.BodyType, c.settings.UserContentType);
  if (int rc = SendPartHeader(c, now, label.contentType, !label.encodingFollows)) return rc;
  c.link.NextState = label.encodingFollows ? TextPartEncoding : TextOpen;
  return kStepDone;
}

// The caller's transfer-encoding line when it is set; else in Unicode mode
// base64 for a text of mostly 8-bit bytes.
int TextPartEncodingStep(ChannelContext& c, uint32_t now, int) {
  const bool own = c.settings.UserTransferEncoding[0] != '\0';
  c.smtp.TextBase64 = !own && UnicodeMode(c.settings) && MessageTextWantsBase64(c) ? 1 : 0;
  const char* line = own ? c.settings.UserTransferEncoding : TransferEncodingLine(c);
  if (int rc = SendPartHeader(c, now, line, true)) return rc;
  c.link.NextState = TextOpen;
  return kStepDone;
}

// The reader starts afresh for every message, without a character left
// over from an earlier one.
int TextOpenStep(ChannelContext& c, uint32_t, int) {
  GetMsgChar(c, true);
  c.smtp.PushbackChar = 0;
  c.link.NextState = c.smtp.MessageText != nullptr && c.smtp.MessageText[0] == '@' ? TextFromFile : TextFromMemory;
  return kStepDone;
}

int TextFromMemoryStep(ChannelContext& c, uint32_t, int) {
  c.smtp.PushbackChar = 0;
  c.smtp.TextInMemory = 1;
  c.link.NextState = TextLineFromMemory;
  return kStepDone;
}

int TextFromFileStep(ChannelContext& c, uint32_t, int) {
  const char* name = c.smtp.MessageText + 1;
  c.smtp.TextInMemory = 0;
  LogFormat(c, "Opening message file [%s]\r\n", name);
  const int handle = OpenInputFile(c, name);
  if (handle < 1) return FailStep(c, handle, kCannotOpenFile);
  c.link.NextState = TextLineFromFile;
  return kStepDone;
}

// After the text: the alternative part is closed before any attachment.
int EndOfText(ChannelContext& c, uint32_t now) {
  if (c.link.ThisState == TextLineFromFile) CloseFileHandle(c);
  // Text attachments are read by the same reader, never as base64.
  c.smtp.TextBase64 = 0;
  if (c.smtp.AltText != nullptr) {
    if (int rc = SendFormatted(c, now, "--%sALT===--\r\n", c.settings.Boundary)) return rc;
  }
  c.link.NextState = c.smtp.AttachList != nullptr ? AttachBoundary : EndOfData;
  return kStepDone;
}

// One text line per step; the state repeats until the text is used up. A
// read error fails the send before the server could take the message.
int TextLineStep(ChannelContext& c, uint32_t now, int) {
  const int n = BuildTextLine(c, c.link.CommandBuffer, static_cast<int>(sizeof c.link.CommandBuffer));
  if (n == -1) return EndOfText(c, now);
  if (n < 0) return FailStep(c, 0, n);
  c.diag.TextBytesOut = SaturatingAdd(c.diag.TextBytesOut, n + 2);
  return SendMessageLine(c, now, c.link.CommandBuffer);
}

constexpr StateStep kRows[] = {
    {TextPartStart, Await::kNothing, TextPartStartStep},
    {AltPartType, Await::kNothing, AltPartTypeStep},
    {AltPartText, Await::kWritable, AltPartTextStep},
    {AltPartEnd, Await::kNothing, AltPartEndStep},
    {TextPartType, Await::kNothing, TextPartTypeStep},
    {TextPartEncoding, Await::kNothing, TextPartEncodingStep},
    {TextOpen, Await::kNothing, TextOpenStep},
    {TextFromMemory, Await::kNothing, TextFromMemoryStep},
    {TextLineFromMemory, Await::kWritable, TextLineStep},
    {TextFromFile, Await::kNothing, TextFromFileStep},
    {TextLineFromFile, Await::kWritable, TextLineStep},
};

}  // namespace

extern const StepTable kComposeBodySteps = {kRows, static_cast<int>(std::size(kRows))};
