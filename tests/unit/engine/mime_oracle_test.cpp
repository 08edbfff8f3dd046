// The decoder against a real MIME parser: messages built with Python's email
// package (tests/oracle/mime_messages.py) go through the filter, and every part
// it saves must hold exactly the bytes Python decodes from the same message.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/mime_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(MimeOracle, SavedPartsMatchPythonEmail) {
#ifdef _WIN32
  GTEST_SKIP() << "the oracle runs on the build machine only";
#endif
  if (std::system("python3 -c \"import email\" > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  TempDir dir;
  const std::string script = std::string(KOV_TEST_DATA_DIR) + "/oracle/mime_messages.py";
  ASSERT_EQ(std::system(("python3 " + script + " " + dir.Path()).c_str()), 0);
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
    for (const auto& entry : fs::directory_iterator(fs::path(dir.Path()) / stem)) {
      const std::string name = entry.path().filename().string();
      ASSERT_EQ(saved.count(name), 1u) << name;
      EXPECT_EQ(saved[name], ReadFile(entry.path().string())) << name;
      ++parts;
    }
  }
  EXPECT_GE(messages, 30);
  EXPECT_GE(parts, 40);
}

}  // namespace
