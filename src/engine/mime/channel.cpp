// The decoder's actions carried out on the channel.
#include "engine/mime/channel.h"

#include <cstdint>
#include <cstring>

#include "api/log.h"
#include "codec/strings.h"
#include "engine/frame/settings.h"
#include "engine/mime/filter.h"
#include "engine/mime/names.h"
#include "files/file_out.h"
#include "platform/platform.h"

namespace {

// Counters stop at their largest value instead of wrapping on a huge download.
void Count(int32_t& counter, int32_t n) { counter = n > INT32_MAX - counter ? INT32_MAX : counter + n; }

MimeSettings SettingsOf(const ChannelContext& c) {
  return MimeSettings{c.AttachDir,
                      c.MailFileName,
                      platform::PathSeparator(),
                      c.SaveUnnamedParts != 0,
                      c.AttachNamePrefix != 0,
                      c.AttachFileNumber,
                      c.AttachmentCounter,
                      c.LogHandle != 0};
}

int WriteMail(ChannelContext& c, const char* text, int length) {
  if (WriteOutFile(c, OutFile::kMail, text, length) < 0) return -1;
  Count(c.TextBytesOut, length);
  return 0;
}

// Closes the part file; a complete part is noted, listed and counted.
int ClosePartFile(ChannelContext& c, const MimeAction& a) {
  if (c.FileHandle <= 0) return 0;
  LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.FileHandle));
  if (CloseOutFile(c, OutFile::kPart) < 0) return -1;
  if (!a.saved) return 0;
  char note[kMimePathMax + 64];
  const int length = FormatSaveNote(note, sizeof note, a.data);
  if (!gSettings.HideSaveNotes && WriteMail(c, note, length) < 0) return -1;
  LogText(c, note);
  AppendSavedName(c.SavedAttachList, 1024, a.data + a.nameStart, gSettings.AttachSep);
  Count(c.AttachmentsSaved, 1);
  Count(c.AttachmentCounter, 1);
  if (c.AttachFileNumber > 0) Count(c.AttachFileNumber, 1);
  return 0;
}

void OpenPartFile(ChannelContext& c, const MimeAction& a) {
  BoundedCopy(c.AttachPath, a.data, kMimePathMax);
  if (CreateOutFile(c, OutFile::kPart, a.data)) {
    MimePartOpened(c.Mime, c.FileHandle);
    return;
  }
  LogFormat(c, "[Cannot open '%s']\r\n", a.data);
  MimePartOpened(c.Mime, 0);
}

int Execute(ChannelContext& c, const MimeOutput& out) {
  Count(c.TextBytesIn, out.textBytesIn);
  Count(c.AttachBytesIn, out.attachBytesIn);
  for (int i = 0; i < out.count; ++i) {
    const MimeAction& a = out.actions[i];
    switch (a.op) {
      case MimeOp::kMailText:
        if (WriteMail(c, a.data, a.length) < 0) return -1;
        break;
      case MimeOp::kPartOpen:
        OpenPartFile(c, a);
        break;
      case MimeOp::kPartBytes:
        if (WriteOutFile(c, OutFile::kPart, a.data, a.length) < 0) return -1;
        break;
      case MimeOp::kPartClose:
        if (ClosePartFile(c, a) < 0) return -1;
        break;
      case MimeOp::kLog:
        LogText(c, a.data);
        break;
    }
  }
  return 0;
}

}  // namespace

void StartMessageDecoding(ChannelContext& c) {
  CloseAttachment(c, false);
  MimeStartMessage(c.Mime);
  memset(c.SavedAttachList, 0, sizeof c.SavedAttachList);
  c.AttachmentsSaved = 0;
  c.AttachPath[0] = '\0';
  if (c.DecodeMode != kMimeRaw) c.DecodeMode = kMimeTopHeaders;
}

int FilterMessageLine(ChannelContext& c, const char* line, int length) {
  MimeOutput out;
  for (int done = 0; done < length;) {
    done += MimeFilterLine(c.Mime, SettingsOf(c), line + done, length - done, out);
    if (Execute(c, out) < 0) return -1;
  }
  c.DecodeMode = c.Mime.mode;
  return 0;
}

int CloseAttachment(ChannelContext& c, bool complete) {
  if (!complete) {
    if (c.FileHandle > 0) {
      LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.FileHandle));
      CloseOutFile(c, OutFile::kPart);
    }
    MimePartDropped(c.Mime);
    return 0;
  }
  MimeOutput out;
  for (bool done = false; !done;) {
    done = MimeEndMessage(c.Mime, SettingsOf(c), out);
    if (Execute(c, out) < 0) return -1;
  }
  c.DecodeMode = c.Mime.mode;
  return 0;
}
