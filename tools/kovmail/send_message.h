// What kovmail send sends, made ready before it connects: the envelope from
// the options (and with -t from the message's header), every address
// checked, and the message as the library reads it.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "addresses.h"
#include "options.h"

namespace kovmail {

// A file kovmail wrote for the library to read; removed with this object.
class TempFile {
 public:
  TempFile() = default;
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile();
  // Creates it (only the user may read it) holding `head` and then the
  // rest of `rest`.
  bool Write(const std::string& head, std::istream& rest);
  const std::string& Path() const { return path_; }
  uint64_t Size() const { return size_; }

 private:
  std::string path_;
  uint64_t size_ = 0;
};

struct Outgoing {
  bool raw = false;                 // a finished message (KOV_RAW_MESSAGE)
  Mailbox from;
  std::vector<Mailbox> to, cc, bcc;
  std::string message;              // the text, or '@' and its file
  uint64_t messageBytes = 0;        // for the progress line
  TempFile copy;                    // a message that came from standard input or lost its Bcc
};

// Fills `out` from the options: 0, or the exit status after a message on
// stderr (64 for a wrong option or address, 65 for a message whose header
// holds a bad address, 66 for a message that cannot be read).
int PrepareOutgoing(const SendOptions& options, Outgoing& out);

}  // namespace kovmail
