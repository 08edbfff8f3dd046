// Names for what a download saves: the message's stem, numbered when the
// name is taken, and an attachment's name numbered the same way; the lines
// of a UIDL list. No I/O, no library calls.
#pragma once

#include <map>
#include <string>

namespace kovmail {

// The stem of message `number`'s files, try `attempt` (from 1): "7", "7-2",
// "7-3", ...
std::string MessageStem(int number, int attempt);

// `name` with " (N)" before its extension: "a.pdf" gives "a (2).pdf",
// "_.bashrc" gives "_ (2).bashrc", "noext" gives "noext (2)".
std::string NumberedName(const std::string& name, int number);

// The "NUMBER UID" lines of a UIDL list (the status line left out, CR LF or
// LF line ends), by number; lines of another form are passed over.
std::map<int, std::string> ParseUidList(const std::string& body);

}  // namespace kovmail
