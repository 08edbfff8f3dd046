// The header block of a composed message (states 220 to 233): X-Mailer, Date,
// To, From, Reply-To, Subject with the extra header lines, CC, and for a
// multipart message MIME-Version and its Content-Type, then the empty line;
// and the Date line of the present moment.
#include <atomic>
#include <iterator>
#include <vector>

#include "api/errors.h"
#include "api/library.h"
#include "codec/date.h"
#include "codec/encoded_words.h"
#include "codec/strings.h"
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
  while (NextHeaderLine(header, c.link.CommandBuffer, sizeof c.link.CommandBuffer) >= 0) {
    int rc = WexlSendLine(ChannelSlot(c), c.link.CommandBuffer);
    if (rc < 0) return FailStep(c, rc, kWriteError);
  }
  return kStepDone;
}

// What a header value is, for its encoding in Unicode mode.
enum class Kind { kText, kAddresses, kBlock };

// Sends a header whose value comes from the caller. In Unicode mode a value
// that is not ASCII goes out as encoded words (for addresses: their display
// names), fitted into lines of at most 78 characters.
int SendValue(ChannelContext& c, const char* prefix, const char* value, Kind kind) {
  const char sep = kind == Kind::kAddresses ? c.settings.AddressSep : '\0';
  if (!UnicodeMode(c.settings) || !HasEightBit(value)) {
    return SendHeader(c, kind == Kind::kBlock ? HeaderBlock(value) : HeaderValue(prefix, value, sep));
  }
  std::vector<char> encoded(static_cast<size_t>(WordsSize(StringLength(value))));
  char* out = encoded.data();
  const int size = static_cast<int>(encoded.size());
  const int column = StringLength(prefix);
  const int n = kind == Kind::kText        ? EncodeWords(value, StringLength(value), column, out, size)
                : kind == Kind::kAddresses ? EncodeAddressList(value, sep, column, out, size)
                                           : EncodeHeaderBlock(value, out, size);
  if (n < 0) return FailStep(c, 0, kWriteError);
  return SendHeader(c, kind == Kind::kBlock ? HeaderBlock(out) : HeaderValue(prefix, out, sep));
}

// Sends one line of fixed width and moves on to `next`.
int SendFixed(ChannelContext& c, const char* line, int next) {
  int rc = WexlSendLine(ChannelSlot(c), line);
  if (rc < 0) return FailStep(c, rc, kWriteError);
  c.link.NextState = next;
  return kStepDone;
}

// The state after `done`: the first header still ahead that this message
// has, else the empty line that ends the block.
int HeaderAfter(const ChannelContext& c, int done) {
  if (done < HeaderReplyTo && c.smtp.ReplyTo[0] != '\0') return HeaderReplyTo;
  if (done < HeaderSubject && (c.smtp.Subject != nullptr || c.smtp.ExtraHeaders != nullptr)) return HeaderSubject;
  if (done < HeaderCc && c.smtp.CcList != nullptr) return HeaderCc;
  if (IsMultipart(c) || UnicodeMode(c.settings)) return HeaderMime;
  return HeaderEnd;
}

// Sends one header and moves on to the next one the message has.
int SendAndMoveOn(ChannelContext& c, const char* prefix, const char* value, Kind kind) {
  int rc = SendValue(c, prefix, value, kind);
  if (rc == kStepDone) c.link.NextState = HeaderAfter(c, c.link.ThisState);
  return rc;
}

int StartStep(ChannelContext& c, uint32_t, int) {
  c.link.NextState = HeaderMailer;
  return kStepDone;
}

int MailerStep(ChannelContext& c, uint32_t, int) {
  MailerLine(kLibraryVersion, c.link.CommandBuffer, sizeof c.link.CommandBuffer);
  return SendFixed(c, c.link.CommandBuffer, HeaderDate);
}

// Message-IDs made by this process so far.
std::atomic<uint32_t> gMessageIds{0};

// The Date line, then a Message-ID unless the caller's extra header lines
// bring their own: many servers refuse a message without one.
int DateStep(ChannelContext& c, uint32_t now, int) {
  DateHeaderNow(c.link.CommandBuffer, sizeof c.link.CommandBuffer);
  if (int rc = SendFixed(c, c.link.CommandBuffer, HeaderTo)) return rc;
  if (HasHeaderNamed(c.smtp.ExtraHeaders, "Message-ID")) return kStepDone;
  const MessageIdStamp stamp = {static_cast<uint32_t>(platform::UnixSeconds()), platform::ProcessId(), now,
                                gMessageIds.fetch_add(1) + 1};
  MessageIdLine(stamp, c.smtp.FromAddress, c.link.CommandBuffer, sizeof c.link.CommandBuffer);
  return SendFixed(c, c.link.CommandBuffer, HeaderTo);
}

// The To list goes into its header whole, display names included; with
// HideTo set the recipients get their RCPT TO but the header is left out.
int ToStep(ChannelContext& c, uint32_t now, int) {
  c.link.NextState = HeaderFrom;
  if (c.settings.HideTo != 0 || c.smtp.ToList == nullptr) return kStepDone;
  int rc = SendValue(c, "To: ", c.smtp.ToList, Kind::kAddresses);
  if (rc == kStepDone) SetTimers(c, now, c.settings.MinWait, c.settings.MaxWait);
  return rc;
}

int FromStep(ChannelContext& c, uint32_t, int) {
  if (c.smtp.FromAddress[0] == '\0') {
    c.link.NextState = HeaderAfter(c, HeaderFrom);
    return kStepDone;
  }
  return SendAndMoveOn(c, "From: ", c.smtp.FromAddress, Kind::kAddresses);
}

int ReplyToStep(ChannelContext& c, uint32_t, int) {
  return SendAndMoveOn(c, "Reply-To: ", c.smtp.ReplyTo, Kind::kAddresses);
}

// The Subject header when there is a subject, then the extra header lines,
// which go along with or without one.
int SubjectStep(ChannelContext& c, uint32_t, int) {
  if (c.smtp.Subject != nullptr) {
    int rc = SendValue(c, "Subject: ", c.smtp.Subject, Kind::kText);
    if (rc != kStepDone) return rc;
  }
  return SendAndMoveOn(c, "", c.smtp.ExtraHeaders, Kind::kBlock);
}

// The BCC list never appears in a header.
int CcStep(ChannelContext& c, uint32_t, int) {
  return SendAndMoveOn(c, "CC: ", c.smtp.CcList, Kind::kAddresses);
}

int MimeStep(ChannelContext& c, uint32_t, int) { return SendFixed(c, "MIME-Version: 1.0", HeaderContentType); }

// One header in two lines when an alternative text goes along with HTML. A
// message of text alone in Unicode mode is labelled here as UTF-8 text.
int ContentTypeStep(ChannelContext& c, uint32_t, int) {
  if (!IsMultipart(c)) {
    c.smtp.TextBase64 = MessageTextWantsBase64(c) ? 1 : 0;
    if (int rc = SendFixed(c, "Content-Type: text/plain; charset=UTF-8", HeaderEnd)) return rc;
    return SendFixed(c, TransferEncodingLine(c), HeaderEnd);
  }
  MessageContentType(c.smtp.BodyType == 2, c.smtp.AltText != nullptr, c.settings.Boundary, c.link.CommandBuffer, sizeof c.link.CommandBuffer);
  return SendFixed(c, c.link.CommandBuffer, HeaderEnd);
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
