#include "console.h"

#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace kovmail {

namespace {

bool ReadLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace

#ifdef _WIN32

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

bool ReadInputLine(std::string& line, bool hidden) {
  if (!hidden) return ReadLine(line);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  bool console = GetConsoleMode(input, &mode) != 0;
  if (console) SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  bool ok = ReadLine(line);
  if (console) {
    SetConsoleMode(input, mode);
    fputc('\n', stderr);  // the Enter key was not shown either
  }
  return ok;
}

#else

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

bool ReadInputLine(std::string& line, bool hidden) {
  if (!hidden) return ReadLine(line);
  termios saved{};
  bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the Enter key still ends the line on screen
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  bool ok = ReadLine(line);
  if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return ok;
}

#endif

}  // namespace kovmail
