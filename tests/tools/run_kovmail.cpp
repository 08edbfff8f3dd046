#include "run_kovmail.h"

#include <cstdlib>
#include <fstream>

#include "support/temp_dir.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace {

#ifdef _WIN32

// For the command interpreter: in double quotes, inner ones escaped.
std::string Quote(const std::string& arg) {
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

void SetPassword(const char* password) { _putenv_s("KOVMAIL_PASSWORD", password ? password : ""); }

void SetVariable(const char* name, const std::string& value) { _putenv_s(name, value.c_str()); }

int ExitCode(int status) { return status; }

// The program's standard streams are in text mode: CR LF line ends.
std::string Lines(std::string text) {
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) text.erase(at, 1);
  return text;
}

#else

// For the shell: in single quotes, inner ones closed, escaped and reopened.
std::string Quote(const std::string& arg) {
  std::string quoted = "'";
  for (char c : arg) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

void SetPassword(const char* password) {
  if (password) {
    setenv("KOVMAIL_PASSWORD", password, 1);
  } else {
    unsetenv("KOVMAIL_PASSWORD");
  }
}

void SetVariable(const char* name, const std::string& value) {
  if (value.empty()) {
    unsetenv(name);
  } else {
    setenv(name, value.c_str(), 1);
  }
}

int ExitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

std::string Lines(std::string text) { return text; }

#endif

const char* const kHomeVariables[] = {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "APPDATA", "LOCALAPPDATA"};

}  // namespace

std::string KovmailCommand(const std::vector<std::string>& args) {
  std::string command = KOVMAIL_PROGRAM;
  for (const std::string& arg : args) command += " " + Quote(arg);
  return command;
}

ToolRun RunKovmail(const std::vector<std::string>& args, const char* password, const std::string& input,
                   const std::string& home) {
  TempDir dir;
  std::ofstream(dir.File("in"), std::ios::binary) << input;
  std::string command = KovmailCommand(args);
  command += " <" + Quote(dir.File("in")) + " >" + Quote(dir.File("out")) + " 2>" + Quote(dir.File("err"));
  SetPassword(password);
  for (const char* name : kHomeVariables) SetVariable(name, home.empty() ? dir.File("home") : home);
  ToolRun run;
  run.exitCode = ExitCode(std::system(command.c_str()));
  SetPassword(nullptr);
  for (const char* name : kHomeVariables) SetVariable(name, std::string());
  run.out = Lines(ReadFile(dir.File("out")));
  run.err = Lines(ReadFile(dir.File("err")));
  return run;
}

std::string PlayScript(LoopbackServer& server, const std::vector<std::string>& lines, ScriptEnd end) {
  std::string expected;
  for (const std::string& line : lines) {
    if (line.rfind("S: ", 0) == 0) {
      server.Send(line.substr(3) + "\r\n");
    } else {
      server.ReadLine();
      expected += line.substr(3) + "\r\n";
    }
  }
  if (end == ScriptEnd::kClose) server.Close();
  if (end == ScriptEnd::kReset) server.Reset();
  if (end == ScriptEnd::kHold) server.Hold();
  server.Start();
  return expected;
}

std::vector<std::string> Pop3Script(const std::vector<std::string>& middle) {
  std::vector<std::string> all = {"S: +OK ready", "C: USER u", "S: +OK", "C: PASS pw", "S: +OK"};
  all.insert(all.end(), middle.begin(), middle.end());
  all.insert(all.end(), {"C: QUIT", "S: +OK bye"});
  return all;
}

std::vector<std::string> Pop3Args(const LoopbackServer& server, std::vector<std::string> command) {
  command.insert(command.end(),
                 {"--server", "127.0.0.1", "--port", std::to_string(server.Port()), "--user", "u", "--timeout", "3"});
  return command;
}
