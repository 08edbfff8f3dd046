// The header block of a composed message (states 220 to 233): X-Mailer, Date,
// To, From, Reply-To, Subject with the extra header lines, CC, and for a
// multipart message MIME-Version and its Content-Type, then the empty line;
// and the Date line of the present moment.
#include <iterator>

#include "api/errors.h"
#include "codec/date.h"
#include "engine/compose/compose.h"
#include "engine/compose/header_lines.h"
#include "engine/frame/step_io.h"
#include "engine/frame/step_table.h"
#include "net/lineio.h"
#include "platform/platform.h"

namespace {

// Sends every physical line of a header, each with its CR LF. A failed send
// fails the step (-52).
int SendHeader(ChannelContext& c, HeaderText header) {
  while (NextHeaderLine(header, c.CommandBuffer, sizeof c.CommandBuffer) >= 0) {
    int rc = WexlSendLine(ChannelSlot(c), c.CommandBuffer);
    if (rc < 0) return FailStep(c, rc, kWriteError);
  }
  return kStepDone;
}

// Sends one line of fixed width and moves on to `next`.
int SendFixed(ChannelContext& c, const char* line, int next) {
  int rc = WexlSendLine(ChannelSlot(c), line);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  c.NextState = next;
  return kStepDone;
}

// The state after `done`: the first header still ahead that this message
// has, else the empty line that ends the block.
int HeaderAfter(const ChannelContext& c, int done) {
  if (done < HeaderReplyTo && c.ReplyTo[0] != '\0') return HeaderReplyTo;
  if (done < HeaderSubject && c.Subject != nullptr) return HeaderSubject;
  if (done < HeaderCc && c.CcList != nullptr) return HeaderCc;
  if (IsMultipart(c)) return HeaderMime;
  return HeaderEnd;
}

// Sends one header and moves on to the next one the message has.
int SendAndMoveOn(ChannelContext& c, HeaderText header) {
  int rc = SendHeader(c, header);
  if (rc == kStepDone) c.NextState = HeaderAfter(c, c.ThisState);
  return rc;
}

int StartStep(ChannelContext& c, uint32_t, int) {
  c.NextState = HeaderMailer;
  return kStepDone;
}

int MailerStep(ChannelContext& c, uint32_t, int) {
  return SendFixed(c, "X-Mailer: Orvandel Kovmail Version 3.4", HeaderDate);
}

int DateStep(ChannelContext& c, uint32_t, int) {
  DateHeaderNow(c.CommandBuffer, sizeof c.CommandBuffer);
  return SendFixed(c, c.CommandBuffer, HeaderTo);
}

// The To list goes into its header whole, display names included; with
// HideTo set the recipients get their RCPT TO but the header is left out.
int ToStep(ChannelContext& c, uint32_t now, int) {
  c.NextState = HeaderFrom;
  if (gSettings.HideTo != 0 || c.ToList == nullptr) return kStepDone;
  int rc = SendHeader(c, HeaderValue("To: ", c.ToList, gSettings.AddressSep));
  if (rc == kStepDone) SetTimers(c, now, gSettings.MinWait, gSettings.MaxWait);
  return rc;
}

int FromStep(ChannelContext& c, uint32_t, int) {
  if (c.FromAddress[0] == '\0') {
    c.NextState = HeaderAfter(c, HeaderFrom);
    return kStepDone;
  }
  return SendAndMoveOn(c, HeaderValue("From: ", c.FromAddress));
}

int ReplyToStep(ChannelContext& c, uint32_t, int) { return SendAndMoveOn(c, HeaderValue("Reply-To: ", c.ReplyTo)); }

// The extra header lines go along only with a subject.
int SubjectStep(ChannelContext& c, uint32_t, int) {
  int rc = SendHeader(c, HeaderValue("Subject: ", c.Subject));
  if (rc != kStepDone) return rc;
  return SendAndMoveOn(c, HeaderBlock(c.ExtraHeaders));
}

// The BCC list never appears in a header.
int CcStep(ChannelContext& c, uint32_t, int) {
  return SendAndMoveOn(c, HeaderValue("CC: ", c.CcList, gSettings.AddressSep));
}

int MimeStep(ChannelContext& c, uint32_t, int) { return SendFixed(c, "MIME-Version: 1.0", HeaderContentType); }

// One header in two lines when an alternative text goes along with HTML.
int ContentTypeStep(ChannelContext& c, uint32_t, int) {
  MessageContentType(c.BodyType == 2, c.AltText != nullptr, Boundary, c.CommandBuffer, sizeof c.CommandBuffer);
  return SendFixed(c, c.CommandBuffer, HeaderEnd);
}

int EndStep(ChannelContext& c, uint32_t, int) { return SendFixed(c, "", IsMultipart(c) ? TextPartStart : TextOpen); }

constexpr StateStep kRows[] = {
    {HeaderStart, Await::kNothing, StartStep},     {HeaderMailer, Await::kNothing, MailerStep},
    {HeaderDate, Await::kNothing, DateStep},       {HeaderTo, Await::kNothing, ToStep},
    {HeaderFrom, Await::kNothing, FromStep},       {HeaderReplyTo, Await::kNothing, ReplyToStep},
    {HeaderSubject, Await::kNothing, SubjectStep}, {HeaderCc, Await::kNothing, CcStep},
    {HeaderMime, Await::kNothing, MimeStep},       {HeaderContentType, Await::kNothing, ContentTypeStep},
    {HeaderEnd, Await::kNothing, EndStep},
};

}  // namespace

extern const StepTable kComposeHeaderSteps = {kRows, static_cast<int>(std::size(kRows))};

void DateHeaderNow(char* out, int size) {
  platform::LocalTime now;
  platform::GetLocalTimeInfo(now);
  const DateParts date = {now.year,   now.month,  now.dayOfWeek,   now.day,     now.hour,
                          now.minute, now.second, now.biasMinutes, now.daylight};
  FormatDateHeader(date, out, size);
}
