// Runs the message decoder's line filter over a whole message in memory, the
// way the channel does it, and checks every action it asks for: no part file
// outside the attachment directory or under a forbidden or hidden name, no
// bytes for a part that is not open, no call without progress. Without
// GoogleTest, so that the fuzz target shares it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>

struct MimeRunConfig {
  std::string attachDir = "att";
  std::string mailFile = "mail.txt";
  bool saveUnnamed = false;
  bool numberNames = false;
  bool hideNotes = false;
  int attachNumber = 0;
  int counter = 0;
  char separator = '/';
  char listSeparator = ',';
  std::set<std::string> failOpen;  // paths that cannot be created
  bool unicode = false;             // KOV_CHARSET "UTF-8"
  size_t pieceMax = 1023;          // a longer line arrives in pieces of this size
};

struct MimeRunResult {
  std::string mail;
  std::string log;  // the filter's lines and the file events the channel logs
  std::map<std::string, std::string> files;
  std::string savedList;
  int saved = 0;
  std::string violation;  // the first broken rule; empty when none
};

MimeRunResult RunMime(const std::string& message, const MimeRunConfig& config);

// A file name for the expected bytes of a part: bytes other than ASCII letters,
// digits, '.', '_' and '-' become %XX.
std::string EscapedName(const std::string& name);

// The fuzz input: its first byte chooses settings and the piece size, the
// rest is the message. Returns the first broken rule, empty when none.
std::string CheckMimeInput(const uint8_t* data, size_t size);
