// Texts made ready for use: what the library hands back from a POP3 mailbox,
// lists, and texts without the blanks around them.
#pragma once

#include <string>
#include <vector>

namespace kovmail {

// A multi-line response as the library places it ("+OK ...", CR LF line
// ends): without its status line, each line ended by a single LF.
std::string ResponseBody(const std::string& response);

// The text without blanks, tabs, CRs and LFs at its start and end.
std::string Trim(const std::string& text);

// The entries of a list separated by `separator`, empty ones dropped.
std::vector<std::string> SplitList(const std::string& list, char separator);

}  // namespace kovmail
