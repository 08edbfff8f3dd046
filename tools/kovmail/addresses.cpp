#include "addresses.h"

#include <cstdio>
#include <cstring>

#include "response_text.h"

namespace kovmail {

namespace {

// Splits at ',' outside double quotes (with their backslash escapes) and
// outside '<' '>'. False when a quote is left open.
bool SplitEntries(const std::string& list, std::vector<std::string>& entries) {
  std::string entry;
  bool quoted = false, angle = false;
  for (size_t i = 0; i < list.size(); ++i) {
    const char ch = list[i];
    if (quoted && ch == '\\' && i + 1 < list.size()) {
      entry += ch;
      entry += list[++i];
      continue;
    }
    if (ch == '"') quoted = !quoted;
    if (!quoted && ch == '<') angle = true;
    if (!quoted && ch == '>') angle = false;
    if (ch == ',' && !quoted && !angle) {
      entries.push_back(Trim(entry));
      entry.clear();
      continue;
    }
    entry += ch;
  }
  entries.push_back(Trim(entry));
  return !quoted;
}

bool AtomChar(unsigned char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
         (ch != 0 && std::strchr("!#$%&'*+/=?^_`{|}~-", ch) != nullptr);
}

bool DotAtom(const std::string& text) {
  if (text.empty() || text.front() == '.' || text.back() == '.') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '.' && text[i + 1] == '.') return false;
    if (text[i] != '.' && !AtomChar(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

bool QuotedLocal(const std::string& text) {
  if (text.size() < 2 || text.front() != '"' || text.back() != '"') return false;
  for (size_t i = 1; i + 1 < text.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    if (ch < 32 || ch > 126) return false;
    if (ch == '\\') ++i;
    else if (ch == '"') return false;
  }
  return true;
}

bool Domain(const std::string& text) {
  if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
    return text.find_first_of("[]\\ ", 1) == text.size() - 1;
  }
  if (text.empty() || text.size() > 255 || text.front() == '.' || text.back() == '.') return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char ch = static_cast<unsigned char>(text[i]);
    const bool letter = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!letter && ch != '-' && !(ch == '.' && text[i + 1] != '.')) return false;
  }
  return true;
}

// "local@domain": the '@' that ends the local part is the last one.
std::string CheckAddress(const std::string& address) {
  const size_t at = address.rfind('@');
  if (address.empty()) return "an empty address";
  if (at == std::string::npos) return "no '@'";
  const std::string local = address.substr(0, at);
  if (!DotAtom(local) && !QuotedLocal(local)) return "a local part that an address cannot have";
  if (!Domain(address.substr(at + 1))) return "a domain that an address cannot have";
  return std::string();
}

// One entry: "address" alone, or "[name] <address>" with nothing after '>'.
std::string ParseEntry(const std::string& entry, Mailbox& mailbox) {
  size_t open = std::string::npos;
  bool quoted = false;
  for (size_t i = 0; i < entry.size() && open == std::string::npos; ++i) {
    if (entry[i] == '"') quoted = !quoted;
    if (quoted && entry[i] == '\\') ++i;
    else if (!quoted && entry[i] == '<') open = i;
  }
  if (open == std::string::npos) {
    // Blanks only inside a quoted local part ("a b"@x.org).
    const bool quotedLocal = entry[0] == '"';
    if (entry.find_first_of("<>") != std::string::npos || (!quotedLocal && entry.find_first_of(" \t") != std::string::npos)) {
      return "a stray '<', '>' or blank";
    }
    mailbox.address = entry;
  } else {
    const size_t close = entry.find('>', open);
    if (close == std::string::npos) return "no closing '>'";
    if (close + 1 != entry.size()) return "text after the '>'";
    mailbox.name = Trim(entry.substr(0, open));
    mailbox.address = entry.substr(open + 1, close - open - 1);
    if (mailbox.name.find_first_of("<>\r\n") != std::string::npos) return "a stray '<' or '>' in the name";
  }
  for (char ch : entry) {
    if (ch == '\r' || ch == '\n' || ch == '\0') return "a line break";
  }
  return CheckAddress(mailbox.address);
}

// The name's text without its quotes and escapes.
std::string Unquoted(const std::string& name) {
  if (name.size() < 2 || name.front() != '"' || name.back() != '"') return name;
  std::string text;
  for (size_t i = 1; i + 1 < name.size(); ++i) {
    if (name[i] == '\\' && i + 2 < name.size()) ++i;
    text += name[i];
  }
  return text;
}

// RFC 2047 Q encoding as a phrase may hold it.
std::string EncodedWord(const std::string& text) {
  std::string word = "=?UTF-8?Q?";
  for (unsigned char ch : text) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                       std::strchr("!*+-/", ch) != nullptr;
    if (ch == ' ') {
      word += '_';
    } else if (plain && ch != 0) {
      word += static_cast<char>(ch);
    } else {
      char hex[4];
      snprintf(hex, sizeof hex, "=%02X", ch);
      word += hex;
    }
  }
  return word + "?=";
}

}  // namespace

bool ParseMailboxes(const std::string& list, std::vector<Mailbox>& out, std::string& error) {
  std::vector<std::string> entries;
  if (!SplitEntries(list, entries)) {
    error = "'" + list + "': a quote is not closed";
    return false;
  }
  for (const std::string& entry : entries) {
    if (entry.empty()) continue;
    Mailbox mailbox;
    std::string why = ParseEntry(entry, mailbox);
    if (!why.empty()) {
      error = "'" + entry + "': " + why;
      return false;
    }
    out.push_back(mailbox);
  }
  return true;
}

std::string LibraryEntry(const Mailbox& mailbox) {
  std::string entry = "<" + mailbox.address + ">";
  if (mailbox.name.empty()) return entry;
  const bool holdsSeparator = mailbox.name.find(',') != std::string::npos;
  return (holdsSeparator ? EncodedWord(Unquoted(mailbox.name)) : mailbox.name) + " " + entry;
}

std::string LibraryList(const std::vector<Mailbox>& mailboxes, bool bare) {
  std::string list;
  for (const Mailbox& mailbox : mailboxes) {
    if (!list.empty()) list += ',';
    list += bare ? "<" + mailbox.address + ">" : LibraryEntry(mailbox);
  }
  return list;
}

}  // namespace kovmail
