// The operating system as kovmail needs it: the terminal (whether output and
// input are one, reading a line without showing it), signals, commands run
// for a password, file permissions and moves that never replace a file. The
// only file of kovmail that knows the operating system.
#pragma once

#include <string>

namespace kovmail {

bool StdoutIsTerminal();
bool StdinIsTerminal();

// Standard input from now on hands over its bytes as they are (no line-end
// translation, no end at Ctrl-Z on Windows).
void ReadStdinAsBytes();

// Reads one line from standard input, without its line end; false at the end
// of input or when a signal stopped it. With `hidden`, a terminal's echo is
// off while it is typed, and turned on again also by Ctrl-C and every other
// signal that ends kovmail.
bool ReadInputLine(std::string& line, bool hidden);

// Ctrl-C, SIGTERM, SIGHUP and SIGQUIT: the terminal's echo is turned on
// again, and kovmail ends as the signal asks.
void CatchInterrupts();
// From now on those signals set a flag (Interrupted) instead, which the
// transfer loops look at, so that they remove what is unfinished before
// kovmail ends.
void DeferInterrupts();
bool Interrupted();

// Runs `command` through the system's shell and gives the first line of its
// output; false when it cannot be run or fails.
bool CommandOutputLine(const std::string& command, std::string& line);

// Whether users other than the owner may read the file (always false where
// the system has no such modes).
bool ReadableByOthers(const std::string& path);

// Moves a file to `to`, replacing what is there only with `replace`: 1
// moved, 0 the name is taken, -1 another failure. Paths are UTF-8.
int MoveFileTo(const std::string& from, const std::string& to, bool replace);

// Creates a new empty file only the user may read, in the system's folder
// for temporary files; its path, or empty.
std::string CreatePrivateTempFile();

}  // namespace kovmail
