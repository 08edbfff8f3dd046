// A finished message (KOV_RAW_MESSAGE, states 246 and 247): after DATA the
// caller's text or file goes out line by line as it is, without a header or
// part of the library's own; the end of data follows.
#include <iterator>

#include "api/errors.h"
#include "api/log.h"
#include "codec/strings.h"
#include "engine/compose/compose.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"

namespace {

// The reader starts afresh, on the text in memory or the file after '@'.
int RawOpenStep(ChannelContext& c, uint32_t, int) {
  GetMsgChar(c, true);
  c.smtp.PushbackChar = 0;
  const bool fromFile = c.smtp.MessageText != nullptr && c.smtp.MessageText[0] == '@';
  c.smtp.TextInMemory = fromFile ? 0 : 1;
  if (fromFile) {
    LogFormat(c, "Opening message file [%s]\r\n", c.smtp.MessageText + 1);
    const int handle = OpenInputFile(c, c.smtp.MessageText + 1);
    if (handle < 1) return FailStep(c, handle, kCannotOpenFile);
  }
  c.link.NextState = RawLine;
  return kStepDone;
}

// One line per step until the text is used up. A line too long for SMTP
// fails the send before the period, so the server never takes a message
// that was changed on its way.
int RawLineStep(ChannelContext& c, uint32_t now, int) {
  const int n = BuildRawLine(c, c.link.CommandBuffer, static_cast<int>(sizeof c.link.CommandBuffer));
  if (n == -1) {
    if (c.smtp.TextInMemory == 0) CloseFileHandle(c);
    c.link.NextState = EndOfData;
    return kStepDone;
  }
  if (n < 0) return FailStep(c, 0, n);
  c.diag.TextBytesOut = SaturatingAdd(c.diag.TextBytesOut, n + 2);
  return SendMessageLine(c, now, c.link.CommandBuffer);
}

constexpr StateStep kRows[] = {
    {RawOpen, Await::kNothing, RawOpenStep},
    {RawLine, Await::kWritable, RawLineStep},
};

}  // namespace

extern const StepTable kComposeRawSteps = {kRows, static_cast<int>(std::size(kRows))};
