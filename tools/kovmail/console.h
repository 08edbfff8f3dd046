// The terminal: whether output and input are one, and reading a line without
// showing it. The only file of kovmail that knows the operating system.
#pragma once

#include <string>

namespace kovmail {

bool StdoutIsTerminal();
bool StdinIsTerminal();

// Reads one line from standard input, without its line end; false at the end
// of input. With `hidden`, a terminal's echo is off while it is typed.
bool ReadInputLine(std::string& line, bool hidden);

}  // namespace kovmail
