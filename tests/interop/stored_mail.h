// Messages as the bed's servers store them (Maildir files with LF line ends)
// and as POP3 sends them back, for byte-for-byte comparisons.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A stored message as POP3 sends it: every line ended by CR LF.
inline std::string WithCrLf(const std::string& stored) {
  std::string out;
  for (size_t i = 0; i < stored.size(); ++i) {
    if (stored[i] == '\n' && (i == 0 || stored[i - 1] != '\r')) out += '\r';
    out += stored[i];
  }
  return out;
}

// A message as RETR sends it after the status line: dots stuffed, the final ".".
inline std::string Stuffed(const std::string& crlf) {
  std::string out;
  for (size_t at = 0; at < crlf.size();) {
    size_t end = crlf.find("\r\n", at);
    end = end == std::string::npos ? crlf.size() : end + 2;
    if (crlf[at] == '.') out += '.';
    out.append(crlf, at, end - at);
    at = end;
  }
  return out + ".\r\n";
}

// The Subject of a message, empty without one.
inline std::string SubjectOf(const std::string& message) {
  const size_t at = message.find("\nSubject: ");
  if (at == std::string::npos) return "";
  const size_t end = message.find_first_of("\r\n", at + 10);
  return message.substr(at + 10, end - at - 10);
}

// Every message of a Maildir (new and cur) by its Subject, with its file.
inline std::map<std::string, std::filesystem::path> MaildirBySubject(const std::filesystem::path& maildir) {
  std::map<std::string, std::filesystem::path> found;
  std::error_code ec;
  for (const char* folder : {"new", "cur"}) {
    for (const auto& e : std::filesystem::directory_iterator(maildir / folder, ec))
      found[SubjectOf(ReadAll(e.path()))] = e.path();
  }
  return found;
}

// The file of the message with `subject` once the server has stored it;
// empty after 10 s without it.
inline std::filesystem::path AwaitStored(const std::filesystem::path& maildir, const std::string& subject) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    const auto found = MaildirBySubject(maildir);
    if (found.count(subject) != 0) return found.at(subject);
    if (std::chrono::steady_clock::now() >= end) return {};
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}
