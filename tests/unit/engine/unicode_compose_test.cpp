// Messages composed in Unicode mode, sent to a scripted server and read back
// with Python's email package: subjects, display names and attachment names
// in several scripts (4-byte characters and very long names included) come
// back exactly, without defects and within the line limits.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "kov32.h"
#include "support/library_fixture.h"
#include "support/loopback_server.h"

namespace {

struct Case {
  const char* why;
  std::string subject;
  std::string fromName;
  std::vector<std::string> toNames;
  std::string body;
  std::vector<std::string> attachments;
  std::string alt = "";  // with one, the body is HTML and this its plain text
};

// A display name as a caller writes it: quoted, '"' and '\\' escaped.
std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char ch : name) {
    if (ch == '"' || ch == '\\') out += '\\';
    out += ch;
  }
  return out + "\"";
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"' || ch == '\\') out += '\\';
    if (ch == '\n' || ch == '\r') {
      out += ch == '\n' ? "\\n" : "\\r";
      continue;
    }
    out += ch;
  }
  return out + "\"";
}

std::string JsonList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (size_t i = 0; i < texts.size(); ++i) out += (i > 0 ? "," : "") + Json(texts[i]);
  return out + "]";
}

// The message as the server stored it: between DATA and the final dot,
// dot-stuffing undone.
std::string StoredMessage(const std::string& received) {
  size_t from = received.find("\r\nDATA\r\n") + 8;
  size_t to = received.rfind("\r\n.\r\n");
  std::string data = received.substr(from, to + 2 - from), out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '.' && (i == 0 || data[i - 1] == '\n')) continue;
    out += data[i];
  }
  return out;
}

class UnicodeCompose : public AttachedLibrary {
 protected:
  // Sends the case's message and returns what Python found wrong with it.
  std::string Check(const Case& t) {
    LoopbackServer server;
    server.Send("220 mx ESMTP\r\n").ReadLine().Send("250 mx\r\n").ReadLine().Send("250 OK\r\n");
    for (size_t i = 0; i < t.toNames.size(); ++i) server.ReadLine().Send("250 OK\r\n");
    server.ReadLine().Send("354 go\r\n").ReadThrough("\r\n.\r\n").Send("250 queued\r\n").ReadLine().Send("221 bye\r\n");
    server.Start();
    kovIntegerParam(0, KOV_SMTP_PORT, server.Port());
    kovStringParam(0, KOV_CHARSET, "UTF-8");
    kovIntegerParam(0, KOV_BODY_TYPE, t.alt.empty() ? 0 : 2);
    if (!t.alt.empty()) kovStringParam(0, KOV_ALT_TEXT, t.alt.c_str());
    const std::string from = Quoted(t.fromName) + " <joe@example.com>";
    EXPECT_EQ(kovSmtpConnect(0, "127.0.0.1", from.c_str(), nullptr), 0);
    std::string to, attach;
    for (size_t i = 0; i < t.toNames.size(); ++i) {
      to += (i > 0 ? ", " : "") + Quoted(t.toNames[i]) + " <r" + std::to_string(i) + "@x.org>";
    }
    for (size_t i = 0; i < t.attachments.size(); ++i) {
      const std::string path = dir.File("a" + std::to_string(i) + ".bin");
      std::ofstream(path, std::ios::binary) << "data";
      attach += (i > 0 ? "," : "") + path + "|" + t.attachments[i];
    }
    EXPECT_EQ(kovSendEmail(0, to.c_str(), nullptr, nullptr, t.subject.c_str(), t.body.c_str(),
                           attach.empty() ? nullptr : attach.c_str()),
              0);
    kovClose(0);
    EXPECT_TRUE(server.WaitScript());
    std::ofstream(dir.File("message.eml"), std::ios::binary) << StoredMessage(server.Received());
    std::ofstream(dir.File("want.json"), std::ios::binary)
        << "{\"subject\":" << Json(t.subject) << ",\"from_name\":" << Json(t.fromName)
        << ",\"to_names\":" << JsonList(t.toNames) << ",\"body\":" << Json(t.body)
        << ",\"attachments\":" << JsonList(t.attachments)
        << ",\"texts\":" << (t.alt.empty() ? "[]" : JsonList({t.alt, t.body})) << "}";
    const std::string command = "python3 " + std::string(KOV_TEST_DATA_DIR) + "/oracle/check_composed.py " +
                                dir.File("message.eml") + " " + dir.File("want.json") + " 2>&1";
    std::string found;
    if (FILE* p = popen(command.c_str(), "r")) {
      char buffer[512];
      while (fgets(buffer, sizeof buffer, p) != nullptr) found += buffer;
      pclose(p);
    }
    return found;
  }
};

std::string Repeat(const std::string& text, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out += text;
  return out;
}

TEST_F(UnicodeCompose, PythonReadsBackWhatWasGiven) {
#ifdef _WIN32
  GTEST_SKIP() << "Python runs on the build machine only";
#endif
  if (std::system("python3 -c \"import email\" > /dev/null 2>&1") != 0) GTEST_SKIP() << "no python3";
  const std::string longName = Repeat("Ä", 100) + Repeat("x", 100) + Repeat("€", 100);
  const Case cases[] = {
      {"German", "Grüße aus Köln", "Jörg Müller", {"Anna Schäfer", "Bob"}, "Grüße aus Köln\n… 10 €",
       {"Übersicht \"Q1\".pdf", "plain.txt"}},
      {"Greek", "Καλημέρα κόσμε", "Αλέξανδρος Παπαδόπουλος", {"Ελένη"}, "Γειά σου κόσμε\n", {"έγγραφο.txt"}},
      {"Chinese", "你好，世界！这是一个测试邮件的主题", "张伟", {"李娜", "王芳"}, "你好\n世界", {"报告.docx"}},
      {"emoji, 4-byte characters", "Party 🎉🎂 tonight 😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀😀", "Emo 😀", {"🎉 Fan"},
       "🎉\n", {"🎉🎂.png"}},
      {"300 characters (the sender field holds 128)", Repeat("Grüße ", 50), Repeat("Ä", 50), {longName}, Repeat("é", 300), {longName + ".pdf"}},
      {"quotes and backslashes", "He said \"hi\" \\ ok – ja? a_b=c", "O\"Brien \\ Ü?_=", {"A \"B\" \\ C", "Plain"},
       "line with \"quotes\" \\ and trailing blank \nend", {"Report \"Q1\".pdf", "Zähler \"A\".csv"}},
      {"ASCII alone", "Hello", "Joe", {"Ann"}, "Hi there", {"a.txt"}},
      {"mostly 8-bit: base64, line ends kept", "数据", "王芳", {"Ann"}, "数据\n表格\r\n\n" + Repeat("数据", 40), {}},
      {"HTML and its alternative text", "HTML", "Joe", {"Ann"}, "<p>Καλημέρα, hello world</p>\n<p>two</p>", {"a.png"},
       "Γειά σου\n.κόσμε"},
  };
  for (const Case& t : cases) EXPECT_EQ(Check(t), "") << t.why;
}

}  // namespace
