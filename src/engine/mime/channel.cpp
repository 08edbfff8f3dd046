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

MimeSettings SettingsOf(const ChannelContext& c) {
  return MimeSettings{c.decoder.AttachDir,
                      c.pop.MailFileName,
                      platform::PathSeparator(),
                      c.decoder.SaveUnnamedParts != 0,
                      c.decoder.AttachNamePrefix != 0,
                      c.decoder.AttachFileNumber,
                      c.decoder.AttachmentCounter,
                      c.diag.LogHandle != 0,
                      UnicodeMode(c.settings)};
}

int WriteMail(ChannelContext& c, const char* text, int length) {
  if (WriteOutFile(c, OutFile::kMail, text, length) < 0) return -1;
  c.diag.TextBytesOut = SaturatingAdd(c.diag.TextBytesOut, length);
  return 0;
}

// Closes the part file: a complete part is noted, listed and counted; one
// left unfinished (a later name header, a new boundary) is removed.
int ClosePartFile(ChannelContext& c, const MimeAction& a) {
  if (c.files.FileHandle <= 0) return 0;
  LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.files.FileHandle));
  if (!a.saved) {
    DiscardPartFile(c);
    return 0;
  }
  if (CloseOutFile(c, OutFile::kPart) < 0) return -1;
  char note[kMimePathMax + 64];
  const int length = FormatSaveNote(note, sizeof note, a.data);
  if (!c.settings.HideSaveNotes && WriteMail(c, note, length) < 0) return -1;
  LogText(c, note);
  AppendSavedName(c.decoder.SavedAttachList, 1024, a.data + a.nameStart, c.settings.AttachSep);
  c.decoder.AttachmentsSaved = SaturatingAdd(c.decoder.AttachmentsSaved, 1);
  c.decoder.AttachmentCounter = SaturatingAdd(c.decoder.AttachmentCounter, 1);
  if (c.decoder.AttachFileNumber > 0) c.decoder.AttachFileNumber = SaturatingAdd(c.decoder.AttachFileNumber, 1);
  return 0;
}

void OpenPartFile(ChannelContext& c, const MimeAction& a) {
  if (CreateOutFile(c, OutFile::kPart, a.data)) {
    MimePartOpened(c.decoder.Filter, c.files.FileHandle);
    return;
  }
  LogFormat(c, "[Cannot open '%s']\r\n", a.data);
  MimePartOpened(c.decoder.Filter, 0);
}

int Execute(ChannelContext& c, const MimeOutput& out) {
  c.diag.TextBytesIn = SaturatingAdd(c.diag.TextBytesIn, out.textBytesIn);
  c.diag.AttachBytesIn = SaturatingAdd(c.diag.AttachBytesIn, out.attachBytesIn);
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
  MimeStartMessage(c.decoder.Filter);
  memset(c.decoder.SavedAttachList, 0, sizeof c.decoder.SavedAttachList);
  c.decoder.AttachmentsSaved = 0;
  c.decoder.AttachPath[0] = '\0';
}

int FilterMessageLine(ChannelContext& c, const char* line, int length) {
  MimeOutput out;
  for (int done = 0; done < length;) {
    done += MimeFilterLine(c.decoder.Filter, SettingsOf(c), line + done, length - done, out);
    if (Execute(c, out) < 0) return -1;
  }
  return 0;
}

void FinishHeldHeader(ChannelContext& c) {
  MimeOutput out;
  MimeFinishHeld(c.decoder.Filter, SettingsOf(c), out);
  Execute(c, out);  // a failed write changes nothing: the download has failed
}

int CloseAttachment(ChannelContext& c, bool complete) {
  if (!complete) {
    if (c.files.FileHandle > 0) {
      LogFormat(c, "Closing file %d\r\n", static_cast<int>(c.files.FileHandle));
      DiscardPartFile(c);
    }
    MimePartDropped(c.decoder.Filter);
    return 0;
  }
  MimeOutput out;
  for (bool done = false; !done;) {
    done = MimeEndMessage(c.decoder.Filter, SettingsOf(c), out);
    if (Execute(c, out) < 0) return -1;
  }
  return 0;
}
