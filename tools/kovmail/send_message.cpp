#include "send_message.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

#include "console.h"
#include "message_header.h"

namespace kovmail {

namespace {

int Refuse(int status, const std::string& why) {
  fprintf(stderr, "kovmail send: %s\n", why.c_str());
  return status;
}

// Reads the header block of a message: its lines up to and with the empty
// line that ends it (all of the input when there is none).
std::string ReadHeaderBlock(std::istream& in) {
  std::string header, line;
  while (std::getline(in, line)) {
    const bool ended = !in.eof();
    header += line;
    if (ended) header += '\n';
    if (line.empty() || line == "\r") break;
  }
  return header;
}

// Parses every value given for an option into `out`; false with `error`.
bool ParseAll(const std::vector<std::string>& values, std::vector<Mailbox>& out, std::string& error) {
  for (const std::string& value : values) {
    if (!ParseMailboxes(value, out, error)) return false;
  }
  return true;
}

// The command line's addresses: the sender and the recipient lists.
int ParseOptionAddresses(const SendOptions& options, Outgoing& out) {
  std::string error;
  std::vector<Mailbox> from;
  if (!options.from.empty() && !ParseMailboxes(options.from, from, error)) return Refuse(kExitUsage, "--from " + error);
  if (from.size() > 1) return Refuse(kExitUsage, "--from names one sender");
  if (!from.empty()) out.from = from[0];
  if (!ParseAll(options.to, out.to, error)) return Refuse(kExitUsage, "--to " + error);
  if (!ParseAll(options.cc, out.cc, error)) return Refuse(kExitUsage, "--cc " + error);
  if (!ParseAll(options.bcc, out.bcc, error)) return Refuse(kExitUsage, "--bcc " + error);
  return kExitOk;
}

// A finished message: its Bcc header goes; with -t its To, Cc and Bcc add to
// the envelope; its From is the sender when none is given.
uint64_t FileSize(const std::string& path) {
  std::error_code error;
  uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

int PrepareFinished(const SendOptions& options, Outgoing& out) {
  const std::string source = options.emlFile.empty() ? "-" : options.emlFile;
  std::ifstream file;
  if (source == "-") {
    ReadStdinAsBytes();
  } else {
    file.open(source, std::ios::binary);
  }
  std::istream& in = source == "-" ? std::cin : file;
  if (!in) return Refuse(kExitNoInput, "cannot read the message " + source);
  const std::string header = ReadHeaderBlock(in);
  AddressFields fields;
  const std::string kept = ReadAddressFields(header, fields);
  std::string error;
  std::vector<Mailbox> from;
  if (out.from.address.empty() && !ParseMailboxes(fields.from, from, error)) {
    return Refuse(kExitData, "the message's From: " + error);
  }
  if (!from.empty()) out.from = from[0];
  if (options.headerRecipients) {
    if (!ParseMailboxes(fields.to, out.to, error)) return Refuse(kExitData, "the message's To: " + error);
    if (!ParseMailboxes(fields.cc, out.cc, error)) return Refuse(kExitData, "the message's Cc: " + error);
    if (!ParseMailboxes(fields.bcc, out.bcc, error)) return Refuse(kExitData, "the message's Bcc: " + error);
  }
  out.raw = true;
  if (source != "-" && kept.size() == header.size()) {
    // Nothing to leave out: the library reads the file itself.
    out.message = "@" + source;
    out.messageBytes = FileSize(source);
    return kExitOk;
  }
  if (!out.copy.Write(kept, in)) return Refuse(kExitIo, "cannot write a temporary copy of the message");
  out.message = "@" + out.copy.Path();
  out.messageBytes = out.copy.Size();
  return kExitOk;
}


// A composed message: the text given, or '@' and the file that holds it
// (standard input copied to a file first).
int PrepareComposed(const SendOptions& options, Outgoing& out) {
  out.message = options.text;
  out.messageBytes = options.text.size();
  const std::string& file = options.htmlFile.empty() ? options.textFile : options.htmlFile;
  if (file.empty()) return kExitOk;
  if (file != "-") {
    out.message = "@" + file;
    out.messageBytes = FileSize(file);
    return kExitOk;
  }
  ReadStdinAsBytes();
  if (!out.copy.Write(std::string(), std::cin)) return Refuse(kExitIo, "cannot write a temporary copy of the text");
  out.message = "@" + out.copy.Path();
  out.messageBytes = out.copy.Size();
  return kExitOk;
}

}  // namespace

TempFile::~TempFile() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove(path_, ignored);
}

bool TempFile::Write(const std::string& head, std::istream& rest) {
  path_ = CreatePrivateTempFile();
  if (path_.empty()) return false;
  std::ofstream out(path_, std::ios::binary | std::ios::trunc);
  out.write(head.data(), static_cast<std::streamsize>(head.size()));
  std::vector<char> buffer(64 * 1024);
  size_ = head.size();
  while (out && rest.read(buffer.data(), static_cast<std::streamsize>(buffer.size())).gcount() > 0) {
    out.write(buffer.data(), rest.gcount());
    size_ += static_cast<uint64_t>(rest.gcount());
  }
  out.flush();
  return static_cast<bool>(out) && !rest.bad();
}

int PrepareOutgoing(const SendOptions& options, Outgoing& out) {
  const bool finished = options.headerRecipients || !options.emlFile.empty();
  const bool composed = !options.text.empty() || !options.textFile.empty() || !options.htmlFile.empty();
  if (finished && composed) return Refuse(kExitUsage, "-t sends a finished message: give it with --eml, not --text");
  if (!finished && !composed) return Refuse(kExitUsage, "no message: give --text, --text-file, --html or --eml");
  if (finished && (!options.subject.empty() || !options.attachments.empty() || !options.altTextFile.empty())) {
    return Refuse(kExitUsage, "a finished message takes no --subject, --attach or --alt-text");
  }
  if (int status = ParseOptionAddresses(options, out)) return status;
  if (int status = finished ? PrepareFinished(options, out) : PrepareComposed(options, out)) return status;
  if (out.from.address.empty()) return Refuse(kExitUsage, "no sender: give --from (or an account's from)");
  if (out.to.empty() && out.cc.empty() && out.bcc.empty()) return Refuse(kExitUsage, "no recipient");
  return kExitOk;
}

}  // namespace kovmail
