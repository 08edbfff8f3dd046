// The incoming-message decoder as a line filter without I/O: each call takes
// one message line (after the status line, dot-unstuffed) and says what to do
// with it: text for the mail file, a part file to open, bytes for it, the part
// to close, lines for the log. The caller carries the actions out in order.
#pragma once

#include <cstdint>

#include "api/decoder_state.h"

// Longest piece taken in one call; a longer line is handled piece by piece.
constexpr int kMimePieceMax = 1024;

// What the decoder reads from the channel.
struct MimeSettings {
  const char* attachDir;     // directory of part files; empty: the current one
  const char* mailFileName;  // no part file may take this name
  char separator;            // joins the directory and a file name
  bool saveUnnamed;          // save base64 parts that have no name
  bool numberNames;          // "%d-%s" with a running number
  int32_t attachNumber;      // above 0: "%d.att" with this number
  int32_t counter;           // parts saved on the channel so far
  bool log;                  // a log is open: build its lines
  bool unicode;              // KOV_CHARSET "UTF-8": names, headers and texts in UTF-8
};

enum class MimeOp : uint8_t {
  kMailText,   // write `data` to the mail file
  kPartOpen,   // create the part file `data` (a path), then report with MimePartOpened
  kPartBytes,  // write `data` to the part file
  kPartClose,  // close the part file `data`; `saved`: it is complete, note and list it
  kLog,        // write the line `data` to the log
};

struct MimeAction {
  MimeOp op;
  bool saved;
  int32_t nameStart;  // kPartOpen, kPartClose: where the file name begins in the path
  const char* data;   // NUL-terminated for paths and log lines
  int32_t length;
};

constexpr int kMimeMaxActions = 24;

// The actions of one call. Their data points into this record, into the
// caller's line or into the filter, and stays valid until the next call.
struct MimeOutput {
  MimeAction actions[kMimeMaxActions];
  int32_t count;
  int32_t textBytesIn;    // line bytes passed on to the mail file
  int32_t attachBytesIn;  // line bytes decoded into a part file or inline
  int32_t dataUsed;
  int32_t logUsed;
  char data[3 * kMimeLineMax + 2 * kMimePathMax + 64];
  char log[kMimeLineMax + 2048];
};

// Starts a message: nothing carries over from the one before.
void MimeStartMessage(MimeFilter& f);

// Takes the next bytes of the message: up to and including the first LF, at
// most kMimePieceMax. Returns how many it took, 0 when it only finished a
// header line it held back or asked for the file of a uuencoded part (call
// again with the same bytes); `out` holds the actions. A line not ended by LF within the piece continues in the next call.
int MimeFilterLine(MimeFilter& f, const MimeSettings& s, const char* line, int length, MimeOutput& out);

// Ends the message: a held header line is finished first (false: call again),
// then an open part is completed and closed as saved (true).
bool MimeEndMessage(MimeFilter& f, const MimeSettings& s, MimeOutput& out);

// Finishes a held header line alone, for a download that breaks off: the
// mail file keeps the lines that came.
void MimeFinishHeld(MimeFilter& f, const MimeSettings& s, MimeOutput& out);

// Reports the result of a kPartOpen: the file's handle, or 0 or less when it
// could not be created (the part's body then passes to the mail file).
void MimePartOpened(MimeFilter& f, int handle);

// Forgets the open part without an action, for a caller that closed it itself.
void MimePartDropped(MimeFilter& f);

// The note a saved part leaves in the mail file and the log, with CR LF:
// its length, cut to size - 1.
int FormatSaveNote(char* out, int size, const char* path);
