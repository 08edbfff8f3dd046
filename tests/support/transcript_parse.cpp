// Reads a transcript file (format in transcript.h) into the servers' scripts
// and the actions the runner plays. The first problem ends the parse and is
// reported with its line number.
#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "kov32.h"
#include "support/transcript.h"

namespace {

struct Malformed : std::runtime_error {
  using std::runtime_error::runtime_error;
};

#define KOV_PARAM(name) \
  { #name, name }
const struct {
  const char* name;
  int index;
} kParams[] = {
    KOV_PARAM(KOV_DELAY),
    KOV_PARAM(KOV_TIMEOUT),
    KOV_PARAM(KOV_CONNECT_WAIT),
    KOV_PARAM(KOV_BODY_TYPE),
    KOV_PARAM(KOV_AUTO_CALL),
    KOV_PARAM(KOV_NUMBER_NAMES),
    KOV_PARAM(KOV_SLEEP_TIME),
    KOV_PARAM(KOV_SAVE_UNNAMED),
    KOV_PARAM(KOV_SMTP_PORT),
    KOV_PARAM(KOV_POP3_PORT),
    KOV_PARAM(KOV_LINE_LENGTH),
    KOV_PARAM(KOV_BLOCKING),
    KOV_PARAM(KOV_8BIT_TEXT),
    KOV_PARAM(KOV_HIDE_SAVE_NOTES),
    KOV_PARAM(KOV_NO_TO_HEADER),
    KOV_PARAM(KOV_ADDRESS_SEP),
    KOV_PARAM(KOV_RESERVED),
    KOV_PARAM(KOV_ATTACH_SEP),
    KOV_PARAM(KOV_NAME_SEP),
    KOV_PARAM(KOV_IMAGE_TYPES),
    KOV_PARAM(KOV_DECODE_MODE),
    KOV_PARAM(KOV_USE_EHLO),
    KOV_PARAM(KOV_USE_APOP),
    KOV_PARAM(KOV_ATTACH_NUMBER),
    KOV_PARAM(KOV_SKIP_RCPT_ERRORS),
    KOV_PARAM(KOV_TEXT_ATTACH),
    KOV_PARAM(KOV_LOG_FILE),
    KOV_PARAM(KOV_SAVE_BUFFER),
    KOV_PARAM(KOV_REPLY_TO),
    KOV_PARAM(KOV_SET_HEADERS),
    KOV_PARAM(KOV_LOG_TEXT),
    KOV_PARAM(KOV_FROM),
    KOV_PARAM(KOV_BODY_CONTENT),
    KOV_PARAM(KOV_BODY_ENCODING),
    KOV_PARAM(KOV_ADD_HEADER),
    KOV_PARAM(KOV_AUTH_PASSWORD),
    KOV_PARAM(KOV_USER),
    KOV_PARAM(KOV_ALT_TEXT),
    KOV_PARAM(KOV_ATTACH_CONTENT),
    KOV_PARAM(KOV_CHARSET),
    KOV_PARAM(KOV_TLS),
    KOV_PARAM(KOV_TLS_VERIFY),
    KOV_PARAM(KOV_TLS_MIN_VERSION),
    KOV_PARAM(KOV_TLS_CA_FILE),
    KOV_PARAM(KOV_TLS_SERVER_NAME),
    KOV_PARAM(KOV_OAUTH_TOKEN),
    KOV_PARAM(KOV_AUTH_MECHANISM),
    KOV_PARAM(KOV_RAW_MESSAGE),
    KOV_PARAM(KOV_IP_FAMILY),
};
#undef KOV_PARAM

std::string Unescape(const std::string& in) {
  std::string out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != '\\') {
      out += in[i];
      continue;
    }
    if (++i == in.size()) throw Malformed("a backslash ends the line");
    switch (in[i]) {
      case 'r':
        out += '\r';
        break;
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case '0':
        out += '\0';
        break;
      case '\\':
      case '"':
        out += in[i];
        break;
      case 'x':
        if (i + 2 >= in.size() || !isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !isxdigit(static_cast<unsigned char>(in[i + 2]))) {
          throw Malformed("\\x needs two hexadecimal digits");
        }
        out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
        i += 2;
        break;
      default:
        throw Malformed(std::string("unknown escape \\") + in[i]);
    }
  }
  return out;
}

// Words split at spaces; a word in double quotes is a text with escapes, the
// bare word null is the null pointer.
std::vector<CallArg> Words(const std::string& rest) {
  std::vector<CallArg> words;
  for (size_t i = 0; i < rest.size(); ++i) {
    if (rest[i] == ' ') continue;
    size_t end = i;
    if (rest[i] == '"') {
      for (end = i + 1; end < rest.size() && rest[end] != '"'; ++end) {
        if (rest[end] == '\\') ++end;
      }
      if (end >= rest.size()) throw Malformed("a quoted text has no closing quote");
      words.push_back(CallArg{false, Unescape(rest.substr(i + 1, end - i - 1))});
    } else {
      end = std::min(rest.find(' ', i), rest.size());
      std::string word = rest.substr(i, end - i);
      words.push_back(CallArg{word == "null", word});
    }
    i = end;
  }
  return words;
}

long Number(const std::string& word, long low, long high) {
  char* end = nullptr;
  long n = strtol(word.c_str(), &end, 10);
  if (word.empty() || *end != '\0' || n < low || n > high) {
    throw Malformed("'" + word + "' is not a number from " + std::to_string(low) + " to " + std::to_string(high));
  }
  return n;
}

// The range of a number a check compares with a call's int result.
constexpr long kLeast = -2147483647L - 1;
constexpr long kMost = 2147483647L;

std::vector<long> Numbers(const std::string& rest, size_t least, size_t most) {
  std::vector<long> numbers;
  for (const CallArg& word : Words(rest)) numbers.push_back(Number(word.text, kLeast, kMost));
  if (numbers.size() < least || numbers.size() > most) {
    throw Malformed("expected " + std::to_string(least) + " to " + std::to_string(most) + " numbers");
  }
  return numbers;
}

class Parser {
 public:
  explicit Parser(Transcript& t) : t_(t) { t_.servers.push_back(ServerScript{"1", {}, "", false, "127.0.0.1"}); }
  void Line(int number, const std::string& line);

 private:
  void Script(const std::string& word, const std::string& rest);
  void Parameter(Action& a, const std::string& rest);
  void Call(Action& a, const std::string& rest);
  void Result(Action& a, const std::string& rest);
  void FileCheck(Action& a, const std::string& rest);

  Transcript& t_;
  size_t server_ = 0;
  bool called_ = false;
};

void Parser::Line(int number, const std::string& line) {
  if (line.empty() || line[0] == '#' || line.find_first_not_of(' ') == std::string::npos) return;
  size_t space = line.find(' ');
  const std::string word = line.substr(0, space);
  const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
  const bool bare = rest.empty();
  Action a{number, word, {}, "", nullptr, {}};
  if (word == "S:" || word == "S+" || word == "S*" || word == "S+*" || word == "C:" || word == "pause" || word == "close" ||
      word == "reset" || word == "hangup") {
    Script(word, rest);
    return;
  }
  if (word == "server") {
    const size_t gap = rest.find(' ');
    const std::string name = rest.substr(0, gap);
    const std::string address = gap == std::string::npos ? "" : rest.substr(gap + 1);
    if (bare || address.find(' ') != std::string::npos) throw Malformed("server takes a name and an optional address");
    auto named = [&name](const ServerScript& s) { return s.name == name; };
    server_ = static_cast<size_t>(std::find_if(t_.servers.begin(), t_.servers.end(), named) - t_.servers.begin());
    if (server_ == t_.servers.size()) t_.servers.push_back(ServerScript{name, {}, "", false, "127.0.0.1"});
    if (!address.empty()) t_.servers[server_].address = address;
    a.numbers.push_back(static_cast<long>(server_));
  } else if (word == "port") {
    a.numbers.push_back(rest == "unused" ? 0 : Number(rest, 1, 65535));
  } else if (word == "channel") {
    a.numbers.push_back(Number(rest, 0, kTranscriptChannels - 1));
  } else if (word == "log") {
    if (!bare) throw Malformed("log takes nothing");
  } else if (word == "file") {
    size_t gap = rest.find(' ');
    if (bare || gap == 0) throw Malformed("file takes a name and its content");
    a.args.push_back(CallArg{false, rest.substr(0, gap)});
    a.text = gap == std::string::npos ? "" : Unescape(rest.substr(gap + 1));
  } else if (word == "int" || word == "string") {
    Parameter(a, rest);
  } else if (word == "call") {
    Call(a, rest);
  } else if ((word == "result" || word == "states" || word == "error-text") && !called_) {
    throw Malformed(word + " checks a call, but none came before");
  } else if (word == "result") {
    Result(a, rest);
  } else if (word == "states") {
    a.numbers = Numbers(rest, 1, 1000);
  } else if (word == "stat") {
    a.numbers = Numbers(rest, 2, 2);
  } else if (word == "error-text" || word == "log-has" || word == "log-lacks" || word == "buffer-is") {
    a.text = Unescape(rest);
    if (a.text.empty() && word != "error-text") throw Malformed(word + " needs a text");
  } else if (word == "debug") {
    size_t gap = rest.find(' ');
    a.numbers.push_back(Number(rest.substr(0, gap), -100, 100));
    a.text = gap == std::string::npos ? "" : Unescape(rest.substr(gap + 1));
  } else if (word == "file-is" || word == "file-starts" || word == "file-ends" || word == "file-size" ||
             word == "file-absent") {
    FileCheck(a, rest);
  } else {
    throw Malformed("unknown directive '" + word + "'");
  }
  t_.actions.push_back(a);
}

void Parser::Script(const std::string& word, const std::string& rest) {
  ServerScript& s = t_.servers[server_];
  if (word == "pause") {
    s.steps.push_back(ScriptStep{ScriptStep::kPause, "", static_cast<int>(Number(rest, 0, 10000))});
  } else if (word == "hangup") {
    if (!rest.empty()) throw Malformed(word + " takes nothing");
    s.hangup = true;
  } else if (word == "close" || word == "reset") {
    if (!rest.empty()) throw Malformed(word + " takes nothing");
    s.steps.push_back(ScriptStep{word == "close" ? ScriptStep::kClose : ScriptStep::kReset, "", 0});
  } else if (word == "S*" || word == "S+*") {
    size_t gap = rest.find(' ');
    if (gap == std::string::npos) throw Malformed(word + " takes a count and a text");
    ScriptStep step{ScriptStep::kSendRepeated, Unescape(rest.substr(gap + 1)) + (word == "S*" ? "\r\n" : ""), 0};
    step.times = static_cast<size_t>(Number(rest.substr(0, gap), 1, 100000000));
    s.steps.push_back(step);
  } else if (word == "C:") {
    s.steps.push_back(ScriptStep{ScriptStep::kClientLine, "", 0});
    s.expected += Unescape(rest) + "\r\n";
  } else {
    s.steps.push_back(ScriptStep{ScriptStep::kSend, Unescape(rest) + (word == "S:" ? "\r\n" : ""), 0});
  }
}

// int NAME VALUE, string NAME TEXT: the index, and the value as a number or text.
void Parser::Parameter(Action& a, const std::string& rest) {
  size_t space = rest.find(' ');
  if (space == std::string::npos) throw Malformed(a.word + " needs a parameter and a value");
  const std::string name = rest.substr(0, space);
  for (const auto& p : kParams) {
    if (name == p.name) a.numbers.push_back(p.index);
  }
  if (a.numbers.empty()) a.numbers.push_back(Number(name, 1, 100));
  if (a.word == "string") {
    a.text = Unescape(rest.substr(space + 1));
  } else {
    a.numbers.push_back(Number(rest.substr(space + 1), -100000, 100000));
  }
}

void Parser::Call(Action& a, const std::string& rest) {
  std::vector<CallArg> words = Words(rest);
  if (words.empty()) throw Malformed("call needs a verb");
  a.verb = FindVerb(words[0].text);
  if (a.verb == nullptr) throw Malformed("unknown verb '" + words[0].text + "'");
  a.args.assign(words.begin() + 1, words.end());
  if (a.args.size() != VerbArity(*a.verb)) {
    throw Malformed(words[0].text + " takes " + std::to_string(VerbArity(*a.verb)) + " arguments");
  }
  called_ = true;
}

// file-absent NAME, file-size NAME N, file-is / file-starts / file-ends NAME TEXT.
void Parser::FileCheck(Action& a, const std::string& rest) {
  size_t gap = rest.find(' ');
  if (rest.empty() || gap == 0) throw Malformed(a.word + " needs a file name");
  a.args.push_back(CallArg{false, rest.substr(0, gap)});
  const std::string more = gap == std::string::npos ? "" : rest.substr(gap + 1);
  if (a.word == "file-absent") {
    if (!more.empty()) throw Malformed("file-absent takes only a name");
  } else if (a.word == "file-size") {
    a.numbers.push_back(Number(more, 0, kMost));
  } else {
    a.text = Unescape(more);
  }
}

// result N, or result N manual M.
void Parser::Result(Action& a, const std::string& rest) {
  std::vector<CallArg> words = Words(rest);
  if (words.size() != 1 && (words.size() != 3 || words[1].text != "manual")) {
    throw Malformed("result takes N or 'N manual M'");
  }
  for (size_t i = 0; i < words.size(); i += 2) a.numbers.push_back(Number(words[i].text, kLeast, kMost));
}

}  // namespace

Transcript ParseTranscript(const std::string& text) {
  Transcript t;
  Parser parser(t);
  int number = 1;
  try {
    for (size_t start = 0; start <= text.size(); ++number) {
      size_t end = std::min(text.find('\n', start), text.size());
      std::string line = text.substr(start, end - start);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      parser.Line(number, line);
      start = end + 1;
    }
  } catch (const Malformed& problem) {
    t.error = "line " + std::to_string(number) + ": " + problem.what();
  }
  return t;
}
