// The decoder as data: every case under tests/golden/mime is a message with
// the mail file, part files, log and saved-name list it must give. Part files
// are named with %XX for bytes outside letters, digits, '.', '_' and '-'.
// KOV_GOLDEN_UPDATE=1 writes what the decoder gives instead, for review.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "support/mime_run.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

fs::path GoldenRoot() { return fs::path(KOV_TEST_DATA_DIR) / "golden" / "mime"; }

std::vector<std::string> Cases() {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(GoldenRoot(), error), end; !error && it != end; it.increment(error)) {
    if (it->is_directory()) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// settings.txt: one "key value" a line.
MimeRunConfig ReadConfig(const fs::path& dir) {
  MimeRunConfig config;
  std::istringstream in(ReadFile((dir / "settings.txt").string()));
  std::string key, value;
  while (in >> key) {
    std::getline(in >> std::ws, value);
    if (key == "save_unnamed") config.saveUnnamed = value == "1";
    if (key == "number_names") config.numberNames = value == "1";
    if (key == "hide_notes") config.hideNotes = value == "1";
    if (key == "attach_number") config.attachNumber = std::atoi(value.c_str());
    if (key == "counter") config.counter = std::atoi(value.c_str());
    if (key == "attach_dir") config.attachDir = value == "-" ? "" : value;
    if (key == "mail_file") config.mailFile = value;
    if (key == "piece") config.pieceMax = static_cast<size_t>(std::atoi(value.c_str()));
    if (key == "charset") config.unicode = value == "UTF-8";
    if (key == "fail_open") config.failOpen.insert(value);
  }
  return config;
}

std::string Summary(const MimeRunResult& r) {
  return "saved " + std::to_string(r.saved) + "\nlist " + r.savedList + "\n";
}

// The part files by escaped name, the attachment directory left out.
std::map<std::string, std::string> Parts(const MimeRunResult& r, const MimeRunConfig& config) {
  const size_t skip = config.attachDir.empty() ? 0 : config.attachDir.size() + 1;
  std::map<std::string, std::string> parts;
  for (const auto& [path, bytes] : r.files) parts[EscapedName(path.substr(skip))] = bytes;
  return parts;
}

void Write(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class MimeGolden : public ::testing::TestWithParam<std::string> {};

TEST_P(MimeGolden, Decodes) {
  const fs::path dir = GoldenRoot() / GetParam();
  const MimeRunConfig config = ReadConfig(dir);
  const MimeRunResult r = RunMime(ReadFile((dir / "message.eml").string()), config);
  EXPECT_EQ(r.violation, "");
  const std::map<std::string, std::string> parts = Parts(r, config);
  if (std::getenv("KOV_GOLDEN_UPDATE") != nullptr) {
    Write(dir / "mail.txt", r.mail);
    Write(dir / "log.txt", r.log);
    Write(dir / "summary.txt", Summary(r));
    fs::remove_all(dir / "parts");
    if (!parts.empty()) fs::create_directory(dir / "parts");
    for (const auto& [name, bytes] : parts) Write(dir / "parts" / name, bytes);
    return;
  }
  EXPECT_EQ(r.mail, ReadFile((dir / "mail.txt").string()));
  EXPECT_EQ(r.log, ReadFile((dir / "log.txt").string()));
  EXPECT_EQ(Summary(r), ReadFile((dir / "summary.txt").string()));
  std::map<std::string, std::string> expected;
  std::error_code error;
  for (fs::directory_iterator it(dir / "parts", error), end; !error && it != end; it.increment(error)) {
    expected[it->path().filename().string()] = ReadFile(it->path().string());
  }
  EXPECT_EQ(parts, expected);
}

// The fuzz target's seeds, and every golden message under other settings and
// piece sizes, keep every rule the executor checks.
TEST(MimeFuzzSeeds, KeepEveryRule) {
  std::vector<std::string> inputs;
  std::error_code error;
  const fs::path seeds = fs::path(KOV_TEST_DATA_DIR).parent_path() / "fuzz" / "corpus" / "mime";
  for (fs::directory_iterator it(seeds, error), end; !error && it != end; it.increment(error)) {
    inputs.push_back(ReadFile(it->path().string()));
  }
  EXPECT_GE(inputs.size(), 20u);
  for (const std::string& name : Cases()) {
    const std::string message = ReadFile((GoldenRoot() / name / "message.eml").string());
    for (char choice : {'\x00', '\x5F', '\x9A', '\xFF'}) inputs.push_back(choice + message);
  }
  for (const std::string& input : inputs) {
    EXPECT_EQ(CheckMimeInput(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "") << input.substr(0, 200);
  }
}

// A short, fixed run of random mutations over the golden messages (the same
// every time: a fixed seed), so that the sanitizer builds of the suite fuzz
// the filter a little on every run, without libFuzzer.
TEST(MimeFuzzSeeds, SurviveFixedMutations) {
  std::vector<std::string> bases;
  for (const std::string& name : Cases()) bases.push_back(ReadFile((GoldenRoot() / name / "message.eml").string()));
  ASSERT_FALSE(bases.empty());
  static const char* const kTokens[] = {"\r\n",
                                        "--",
                                        ";",
                                        "=",
                                        "\r\n ",
                                        "\"",
                                        "=?ISO-8859-1?B?",
                                        "?=",
                                        ".",
                                        "Content-Type: multipart/mixed; boundary=",
                                        "base64",
                                        "quoted-printable",
                                        "\r\n\r\n",
                                        "filename=",
                                        "=?UTF-8?B?",
                                        "=?KOI8-R?Q?=F0",
                                        "filename*0*=utf-8''%E3",
                                        "name*1=",
                                        "Content-Type: multipart/related; boundary=",
                                        "Content-Type: text/plain; charset=shift_jis",
                                        "\0"};
  std::mt19937 random(20261208u);
  for (int round = 0; round < 20000; ++round) {
    std::string input(1, static_cast<char>(random() & 0xFF));
    input += bases[random() % bases.size()];
    for (int edits = 1 + static_cast<int>(random() % 8); edits > 0 && !input.empty(); --edits) {
      const size_t at = random() % input.size();
      switch (random() % 4) {
        case 0:
          input[at] = static_cast<char>(random() & 0xFF);
          break;
        case 1:
          input.erase(at, random() % 64);
          break;
        case 2:
          input.insert(at, kTokens[random() % std::size(kTokens)]);
          break;
        default:
          input.insert(at, input.substr(random() % input.size(), random() % 200));
          break;
      }
    }
    ASSERT_EQ(CheckMimeInput(reinterpret_cast<const uint8_t*>(input.data()), input.size()), "") << round;
  }
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name;
  for (char ch : info.param) name += isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, MimeGolden, ::testing::ValuesIn(Cases()), CaseName);

}  // namespace
