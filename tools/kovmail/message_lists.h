// Turns command-line values into the argument texts the library takes:
// attachment lists and their separators, and the size a file
// takes once encoded for sending. No I/O, no library calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kovmail {

// One file to attach and the name the message shows for it (empty: the
// file's own name).
struct Attachment {
  std::string path;
  std::string shownName;
};

// Splits an --attach value "FILE[=NAME]" at its first '='; the whole value is
// the file when `wholeIsFile` (a file whose name holds '=').
Attachment SplitAttachment(const std::string& value, bool wholeIsFile);

// The first character of `candidates` that occurs in none of `texts`, or
// '\0' when every one of them does.
char FreeSeparator(const std::vector<std::string>& texts, const std::string& candidates);

// The library's attachment list: entries joined by `entrySep`, a shown name
// after `nameSep`.
std::string AttachmentList(const std::vector<Attachment>& attachments, char entrySep, char nameSep);

// Bytes that `size` bytes take as base64 in lines of 76 characters, each
// ended by CR LF.
uint64_t Base64Size(uint64_t size);

}  // namespace kovmail
