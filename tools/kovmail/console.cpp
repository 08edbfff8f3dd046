#include "console.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace kovmail {

namespace {

std::atomic<bool> gInterrupted{false};
std::atomic<bool> gDeferring{false};
std::atomic<int> gTempCounter{0};

bool ReadLine(std::string& line) {
  if (!std::getline(std::cin, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return !gInterrupted;
}

std::string TempName() {
  std::error_code error;
  std::filesystem::path dir = std::filesystem::temp_directory_path(error);
  if (error) dir = ".";
  return (dir / ("kovmail-" + std::to_string(
#ifdef _WIN32
                                  GetCurrentProcessId()
#else
                                  getpid()
#endif
                                      ) +
                 "-" + std::to_string(gTempCounter++) + ".eml"))
      .string();
}

}  // namespace

bool Interrupted() { return gInterrupted; }

void DeferInterrupts() { gDeferring = true; }

bool CommandOutputLine(const std::string& command, std::string& line) {
#ifdef _WIN32
  FILE* pipe = _popen(command.c_str(), "r");
#else
  FILE* pipe = popen(command.c_str(), "r");
#endif
  if (pipe == nullptr) return false;
  line.clear();
  char buffer[256];
  bool ended = false;
  while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
    if (!ended) line += buffer;
    ended = ended || line.find('\n') != std::string::npos;
  }
#ifdef _WIN32
  const int status = _pclose(pipe);
#else
  const int status = pclose(pipe);
#endif
  line = line.substr(0, line.find_first_of("\r\n"));
  return status == 0;
}

#ifdef _WIN32

namespace {

HANDLE gHiddenInput = nullptr;
DWORD gSavedMode = 0;

BOOL WINAPI OnConsoleSignal(DWORD) {
  if (gHiddenInput != nullptr) SetConsoleMode(gHiddenInput, gSavedMode);
  if (!gDeferring) return FALSE;  // the default handler ends the process
  gInterrupted = true;
  return TRUE;
}

}  // namespace

bool StdoutIsTerminal() { return _isatty(_fileno(stdout)) != 0; }

void ReadStdinAsBytes() { _setmode(_fileno(stdin), _O_BINARY); }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleSignal, TRUE); }

bool ReadInputLine(std::string& line, bool hidden) {
  if (!hidden) return ReadLine(line);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  bool console = GetConsoleMode(input, &mode) != 0;
  if (console) {
    gSavedMode = mode;
    gHiddenInput = input;
    SetConsoleMode(input, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  bool ok = ReadLine(line);
  if (console) {
    SetConsoleMode(input, mode);
    gHiddenInput = nullptr;
    fputc('\n', stderr);  // the Enter key was not shown either
  }
  return ok;
}

bool ReadableByOthers(const std::string&) { return false; }

// A UTF-8 path as the wide-character file functions take it.
std::wstring Wide(const std::string& path) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
  std::wstring wide(length > 0 ? static_cast<size_t>(length) : 1, L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], length);
  return wide;
}

int MoveFileTo(const std::string& from, const std::string& to, bool replace) {
  if (MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return 1;
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? 0 : -1;
}

std::string CreatePrivateTempFile() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TempName();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return path;
    }
  }
  return std::string();
}

#else

namespace {

// The terminal's settings while echo is off, for the signal handler.
termios gSavedTerminal{};
volatile sig_atomic_t gEchoOff = 0;

void OnSignal(int signal) {
  if (gEchoOff) {
    tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
    gEchoOff = 0;
    (void)!write(STDERR_FILENO, "\n", 1);
  }
  if (gDeferring) {
    gInterrupted = true;
    return;
  }
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) != 0; }

void ReadStdinAsBytes() {}
bool StdinIsTerminal() { return isatty(STDIN_FILENO) != 0; }

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no restart: a wait ends at once with EINTR
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) sigaction(signal, &action, nullptr);
}

bool ReadInputLine(std::string& line, bool hidden) {
  if (!hidden) return ReadLine(line);
  bool terminal = tcgetattr(STDIN_FILENO, &gSavedTerminal) == 0;
  if (terminal) {
    termios quiet = gSavedTerminal;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;  // the Enter key still ends the line on screen
    gEchoOff = 1;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  bool ok = ReadLine(line);
  if (terminal && gEchoOff) tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSavedTerminal);
  gEchoOff = 0;
  return ok;
}

bool ReadableByOthers(const std::string& path) {
  struct stat status {};
  return stat(path.c_str(), &status) == 0 && (status.st_mode & (S_IRWXG | S_IRWXO)) != 0;
}

int MoveFileTo(const std::string& from, const std::string& to, bool replace) {
  if (replace) return rename(from.c_str(), to.c_str()) == 0 ? 1 : -1;
  // A hard link fails when the name is taken: no moment where it is replaced.
  if (link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? 0 : -1;
  unlink(from.c_str());
  return 1;
}

std::string CreatePrivateTempFile() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = TempName();
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      return path;
    }
  }
  return std::string();
}

#endif

}  // namespace kovmail
