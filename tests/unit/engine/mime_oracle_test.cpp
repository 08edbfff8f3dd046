// The decoder against a real MIME parser: messages built with Python's email
// package (tests/oracle/mime_messages.py) go through the filter, and every part
// it saves must hold exactly the bytes Python decodes from the same message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "kov32.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"
#include "support/mime_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

// Writes the oracle's messages into `dir`: NN.eml and a folder NN holding the
// parts Python's email package decodes from it. False without Python.
bool MakeOracleCorpus(const TempDir& dir) {
#ifdef _WIN32
  return false;  // the oracle runs on the build machine only
#endif
  if (std::system("python3 -c \"import email\" > /dev/null 2>&1") != 0) return false;
  const std::string script = std::string(KOV_TEST_DATA_DIR) + "/oracle/mime_messages.py";
  return std::system(("python3 " + script + " " + dir.Path()).c_str()) == 0;
}

// The parts Python decoded from message `stem`, by escaped file name.
std::map<std::string, std::string> OracleParts(const TempDir& dir, const std::string& stem) {
  std::map<std::string, std::string> parts;
  for (const auto& entry : fs::directory_iterator(fs::path(dir.Path()) / stem)) {
    parts[entry.path().filename().string()] = ReadFile(entry.path().string());
  }
  return parts;
}

TEST(MimeOracle, SavedPartsMatchPythonEmail) {
  TempDir dir;
  if (!MakeOracleCorpus(dir)) GTEST_SKIP() << "no python3";
  int messages = 0, parts = 0;
  for (int number = 0;; ++number) {
    char stem[16];
    snprintf(stem, sizeof stem, "%02d", number);
    const fs::path eml = fs::path(dir.Path()) / (std::string(stem) + ".eml");
    if (!fs::exists(eml)) break;
    SCOPED_TRACE(eml.string());
    ++messages;
    const MimeRunResult r = RunMime(ReadFile(eml.string()), MimeRunConfig{});
    EXPECT_EQ(r.violation, "");
    std::map<std::string, std::string> saved;
    for (const auto& [path, bytes] : r.files) saved[EscapedName(path.substr(4))] = bytes;
    for (const auto& [name, bytes] : OracleParts(dir, stem)) {
      ASSERT_EQ(saved.count(name), 1u) << name;
      EXPECT_EQ(saved[name], bytes) << name;
      ++parts;
    }
  }
  EXPECT_GE(messages, 30);
  EXPECT_GE(parts, 40);
}

// The same corpus served by a POP3 server and downloaded with
// kovGetEmailFile on one connection, whole and with the first 4 KiB of each
// message (its headers and first part lines) arriving one byte at a time:
// the saved files hold exactly Python's bytes both ways.
std::string Retrieved(std::string message) {
  if (message.size() < 2 || message.compare(message.size() - 2, 2, "\r\n") != 0) message += "\r\n";
  for (size_t at = message.find("\r\n."); at != std::string::npos; at = message.find("\r\n.", at + 3))
    message.insert(at + 2, ".");
  if (message[0] == '.') message.insert(0, ".");
  return "+OK message follows\r\n" + message + ".\r\n";
}

class MimeOracleDownload : public AttachedLibrary {};

TEST_F(MimeOracleDownload, SavedFilesMatchPythonEmailWholeAndByteByByte) {
  TempDir corpus;
  if (!MakeOracleCorpus(corpus)) GTEST_SKIP() << "no python3";
  std::vector<std::string> stems;
  for (int number = 0;; ++number) {
    char stem[16];
    snprintf(stem, sizeof stem, "%02d", number);
    if (!fs::exists(fs::path(corpus.Path()) / (std::string(stem) + ".eml"))) break;
    stems.push_back(stem);
  }
  EXPECT_GE(stems.size(), 30u);
  kovIntegerParam(0, KOV_DELAY, 0);
  kovIntegerParam(0, KOV_TIMEOUT, 5000);
  for (bool slowly : {false, true}) {
    LoopbackServer server;
    server.Send("+OK ready\r\n").ReadLine().Send("+OK\r\n").ReadLine().Send("+OK\r\n");
    for (const std::string& stem : stems) {
      const std::string response = Retrieved(ReadFile((fs::path(corpus.Path()) / (stem + ".eml")).string()));
      const size_t slowPart = slowly ? std::min<size_t>(response.size(), 4096) : 0;
      server.ReadLine();
      if (slowPart > 0) server.SendSlowly(response.substr(0, slowPart), 0);
      server.Send(response.substr(slowPart));
    }
    server.ReadLine().Send("+OK bye\r\n").Start();
    kovIntegerParam(0, KOV_POP3_PORT, server.Port());
    ASSERT_EQ(kovPop3Connect(0, "127.0.0.1", "user", "password"), 0);
    for (size_t n = 0; n < stems.size(); ++n) {
      SCOPED_TRACE(stems[n] + (slowly ? " one byte at a time" : " whole"));
      const std::string out = dir.File(stems[n] + (slowly ? "-slow" : "-whole"));
      fs::create_directories(out);
      ASSERT_EQ(kovGetEmailFile(0, static_cast<int>(n) + 1, "mail.txt", out.c_str(), out.c_str()), 0);
      for (const auto& [name, bytes] : OracleParts(corpus, stems[n])) {
        bool found = false;
        for (const auto& entry : fs::directory_iterator(out)) {
          if (EscapedName(entry.path().filename().string()) != name) continue;
          found = true;
          EXPECT_EQ(ReadFile(entry.path().string()), bytes) << name;
        }
        EXPECT_TRUE(found) << name;
      }
    }
    EXPECT_EQ(kovClose(0), 0);
    EXPECT_TRUE(server.WaitScript());
  }
}

}  // namespace
