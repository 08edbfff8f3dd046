// Unicode mode end to end: messages with subjects, texts and attachment
// names in German, Greek, Chinese and emoji (4-byte characters), a name of
// 300 characters, quotes and backslashes, sent with KOV_CHARSET "UTF-8"
// through Postfix into bob's Maildir and fetched from Dovecot with
// `kovmail fetch`. The mail file holds the subject and the text in UTF-8;
// every attachment is saved byte for byte under its name, after the safety
// rules every saved name goes through ('"' becomes '_', a name too long for
// the path is shortened keeping its extension).
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "../tools/run_kovmail.h"
#include "bed_settings.h"
#include "kov32.h"
#include "support/library_fixture.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

struct Case {
  const char* why;
  std::string subject;
  std::string text;  // the message text, or with `alt` the HTML
  std::string alt;   // the plain text beside the HTML; empty: a plain message
  std::vector<std::string> names;
};

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char ch : text) out += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  return out;
}

// Whether `saved` is the name `sent` as the decoder saves it: '"' made safe,
// and a name too long for the path shortened to a beginning of it (whole
// UTF-8 characters) with its extension.
bool SavedAs(std::string sent, const std::string& saved) {
  for (char& ch : sent) ch = ch == '"' ? '_' : ch;
  if (saved == sent) return true;
  const size_t dot = sent.rfind('.');
  if (dot == std::string::npos || saved.size() >= sent.size()) return false;
  const std::string ext = sent.substr(dot);
  const size_t stem = saved.size() - ext.size();
  return saved.size() > ext.size() + 16 && saved.compare(stem, ext.size(), ext) == 0 &&
         sent.compare(0, stem, saved, 0, stem) == 0 && (static_cast<unsigned char>(sent[stem]) & 0xC0) != 0x80;
}

class UnicodeInterop : public AttachedLibrary {
 protected:
  void SetUp() override {
    AttachedLibrary::SetUp();
    bed = ReadBedSettings();
    ASSERT_FALSE(bed["KOV_INTEROP_POP3_PORT"].empty());
    user = bed["KOV_INTEROP_USER2"];
    maildir = fs::path(BedRunDir()) / "mail" / user;
    EmptyMaildir();
    kovStringParam(0, KOV_CHARSET, "UTF-8");
    kovIntegerParam(0, KOV_TIMEOUT, 10000);
    kovIntegerParam(0, KOV_DELAY, 0);
  }
  void TearDown() override {
    kovStringParam(0, KOV_CHARSET, "");
    EmptyMaildir();
    AttachedLibrary::TearDown();
  }

  void EmptyMaildir() { ::EmptyMaildir(maildir); }

  size_t StoredCount() {
    size_t count = 0;
    std::error_code ec;
    for (const char* folder : {"new", "cur"}) {
      for (fs::directory_iterator it(maildir / folder, ec), end; !ec && it != end; it.increment(ec)) ++count;
    }
    return count;
  }

  // Sends the case through Postfix with random attachment contents, and
  // waits until Dovecot's Maildir holds it. Returns the contents by name.
  std::map<std::string, std::string> Send(const Case& t, int serial) {
    std::mt19937 random(static_cast<unsigned>(serial));
    std::map<std::string, std::string> contents;
    std::string list;
    for (size_t i = 0; i < t.names.size(); ++i) {
      std::string bytes(1000 + 997 * i, '\0');
      for (char& ch : bytes) ch = static_cast<char>(random());
      const std::string path = dir.File("in" + std::to_string(serial) + "_" + std::to_string(i));
      std::ofstream(path, std::ios::binary) << bytes;
      contents[t.names[i]] = bytes;
      list += (i > 0 ? "," : "") + path + "|" + t.names[i];
    }
    kovIntegerParam(1, KOV_SMTP_PORT, std::stoi(bed["KOV_INTEROP_POSTFIX_PORT"]));
    kovIntegerParam(1, KOV_BODY_TYPE, t.alt.empty() ? 0 : 2);
    if (!t.alt.empty()) kovStringParam(1, KOV_ALT_TEXT, t.alt.c_str());
    const std::string address = "<" + user + "@" + bed["KOV_INTEROP_DOMAIN"] + ">";
    const size_t before = StoredCount();
    EXPECT_EQ(kovSmtpConnect(1, bed["KOV_INTEROP_HOST"].c_str(), ("\"Jörg Müller\" " + address).c_str(), nullptr), 0);
    EXPECT_EQ(kovSendEmail(1, ("\"Ελένη 李娜 🎉\" " + address).c_str(), nullptr, nullptr, t.subject.c_str(),
                           t.text.c_str(), list.empty() ? nullptr : list.c_str()),
              0);
    EXPECT_EQ(kovClose(1), 0);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (StoredCount() == before && std::chrono::steady_clock::now() < end)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(StoredCount(), before + 1) << "Postfix did not store the message";
    return contents;
  }

  std::map<std::string, std::string> bed;
  std::string user;
  fs::path maildir;
};

TEST_F(UnicodeInterop, KovmailFetchesNamesAndBytesAsSent) {
  const std::string longName = Repeat("Ä", 100) + Repeat("x", 100) + Repeat("€", 100) + ".pdf";
  const std::vector<Case> cases = {
      {"German", "Grüße aus Köln", "Grüße aus Köln\n… 10 €", "", {"Übersicht \"Q1\".pdf", "plain.txt"}},
      {"Greek, HTML with an alternative text", "Καλημέρα κόσμε", "<p>Καλημέρα, hello world</p>\n",
       "Γειά σου κόσμε\nδεύτερη γραμμή", {"έγγραφο.txt"}},
      {"Chinese, a text sent as base64", "你好，世界！这是一个测试邮件的主题", "你好\n世界", "", {"报告.docx", "数据 表.xlsx"}},
      {"emoji, 4-byte characters", "Party 🎉🎂 tonight 😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀", "🎉\n", "", {"🎉🎂.png"}},
      {"300 characters", Repeat("Grüße ", 50), Repeat("é", 300), "", {longName}},
      {"quotes and backslashes", "He said \"hi\" \\ ok – ja? a_b=c", "line with \"quotes\" \\ and a blank \nend",
       "", {"Report \"Q1\".pdf", "Zähler \"A\".csv"}},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].why);
    const std::map<std::string, std::string> sent = Send(cases[i], static_cast<int>(i));
    const fs::path out = dir.File("out" + std::to_string(i));
    const fs::path attach = out / "att";
    fs::create_directories(attach);
    const ToolRun run = RunKovmail({"fetch", "1", "--server", bed["KOV_INTEROP_HOST"], "--port",
                                    bed["KOV_INTEROP_POP3_PORT"], "--user", user, "--dir", out.string(),
                                    "--attach-dir", attach.string(), "-q"},
                                   bed["KOV_INTEROP_PASSWORD2"].c_str());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string mail = ReadFile((out / "1.txt").string());
    EXPECT_NE(mail.find("\r\nSubject: " + cases[i].subject + "\r\n"), std::string::npos) << mail.substr(0, 2000);
    EXPECT_NE(mail.find(WithCrLf(cases[i].text)), std::string::npos) << mail;
    if (!cases[i].alt.empty()) {
      EXPECT_NE(mail.find(WithCrLf(cases[i].alt)), std::string::npos) << mail;
    }
    EXPECT_EQ(mail.find('~'), std::string::npos);
    std::map<std::string, std::string> saved;
    for (const auto& e : fs::directory_iterator(attach)) saved[e.path().filename().string()] = ReadFile(e.path().string());
    ASSERT_EQ(saved.size(), sent.size());
    for (const auto& [name, bytes] : sent) {
      auto found = saved.begin();
      while (found != saved.end() && !SavedAs(name, found->first)) ++found;
      ASSERT_NE(found, saved.end()) << name << " not among: " << run.out;
      EXPECT_TRUE(found->second == bytes) << name;
      EXPECT_NE(run.out.find(found->first), std::string::npos) << run.out;
    }
    EmptyMaildir();
  }
}

}  // namespace
