// Reading an INI text: sections, "key = value" lines, comments. Built on
// inih where the system provides it (Debian's libinih), else on a small
// reader of the same rules (the Windows build, which has no inih).
#pragma once

#include <functional>
#include <string>

namespace kovmail {

// Calls `entry` for every "key = value" line with its section ("" before
// the first), key and value trimmed of blanks; lines starting with ';' or
// '#' are comments. Returns 0, the number of the first line that is not
// understood, or -1 when `entry` returned false.
int ReadIni(const std::string& text,
            const std::function<bool(const std::string& section, const std::string& key, const std::string& value)>& entry);

}  // namespace kovmail
