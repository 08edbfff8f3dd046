// The decoder in Unicode mode against Python's email package over messages
// laid out as common mail programs write them (tests/oracle/mime_corpus.py):
// every part Python extracts under a file name must be saved byte for byte
// under that name (after the safety rules).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "support/mime_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

bool MakeCorpus(const TempDir& dir) {
#ifdef _WIN32
  return false;  // the oracle runs on the build machine only
#endif
  if (std::system("python3 -c \"import email\" > /dev/null 2>&1") != 0) return false;
  const std::string script = std::string(KOV_TEST_DATA_DIR) + "/oracle/mime_corpus.py";
  return std::system(("python3 " + script + " " + dir.Path()).c_str()) == 0;
}

TEST(MimeCorpus, UnicodeModeSavesWhatPythonExtracts) {
  TempDir dir;
  if (!MakeCorpus(dir)) GTEST_SKIP() << "no python3";
  MimeRunConfig config;
  config.unicode = true;
  int messages = 0, expected = 0, agreeing = 0, withParts = 0, fullyRight = 0;
  for (int number = 0;; ++number) {
    char stem[16];
    snprintf(stem, sizeof stem, "%03d", number);
    const fs::path eml = fs::path(dir.Path()) / (std::string(stem) + ".eml");
    if (!fs::exists(eml)) break;
    SCOPED_TRACE(eml.string());
    ++messages;
    const MimeRunResult r = RunMime(ReadFile(eml.string()), config);
    EXPECT_EQ(r.violation, "");
    std::map<std::string, std::string> saved;
    for (const auto& [path, bytes] : r.files) saved[EscapedName(path.substr(config.attachDir.size() + 1))] = bytes;
    int here = 0, rightHere = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(dir.Path()) / stem)) {
      const std::string name = entry.path().filename().string();
      ++expected;
      const auto found = saved.find(name);
      const bool same = found != saved.end() && found->second == ReadFile(entry.path().string());
      EXPECT_TRUE(same) << name << (found == saved.end() ? " missing" : " differs");
      agreeing += same ? 1 : 0;
      ++here;
      rightHere += same ? 1 : 0;
    }
    withParts += here > 0 ? 1 : 0;
    fullyRight += here > 0 && rightHere == here ? 1 : 0;
  }
  printf("[ corpus ] %d messages: %d of %d attachments saved byte-identical under Python's name; %d of %d messages "
         "with attachments fully right\n",
         messages, agreeing, expected, fullyRight, withParts);
  EXPECT_GE(messages, 150);
  EXPECT_GE(expected, 300);
}

}  // namespace
