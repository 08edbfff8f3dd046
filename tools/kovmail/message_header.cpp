#include "message_header.h"

namespace kovmail {

namespace {

bool NameIs(const std::string& field, const char* name) {
  size_t i = 0;
  for (; name[i] != '\0'; ++i) {
    if (i >= field.size()) return false;
    char ch = field[i];
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    if (ch != name[i]) return false;
  }
  size_t colon = i;
  while (colon < field.size() && (field[colon] == ' ' || field[colon] == '\t')) ++colon;
  return colon < field.size() && field[colon] == ':';
}

// The field's value: after its ':', line ends of folds taken away.
std::string Value(const std::string& field) {
  std::string value;
  for (size_t i = field.find(':') + 1; i < field.size(); ++i) {
    if (field[i] != '\r' && field[i] != '\n') value += field[i];
  }
  return value;
}

void Append(std::string& list, const std::string& value) {
  if (!list.empty()) list += ',';
  list += value;
}

// Adds one whole field (its folded lines included) to `fields`; true when it
// is a Bcc field, which the message leaves out.
bool TakeField(const std::string& field, AddressFields& fields) {
  if (NameIs(field, "bcc")) {
    Append(fields.bcc, Value(field));
    return true;
  }
  if (NameIs(field, "to")) Append(fields.to, Value(field));
  if (NameIs(field, "cc")) Append(fields.cc, Value(field));
  if (NameIs(field, "from")) Append(fields.from, Value(field));
  return false;
}

}  // namespace

std::string ReadAddressFields(const std::string& message, AddressFields& fields) {
  std::string kept, field;
  size_t pos = 0;
  while (pos < message.size()) {
    size_t end = message.find('\n', pos);
    end = end == std::string::npos ? message.size() : end + 1;
    const std::string line = message.substr(pos, end - pos);
    const bool continues = line[0] == ' ' || line[0] == '\t';
    if (!continues) {
      if (!field.empty() && !TakeField(field, fields)) kept += field;
      field.clear();
    }
    if (line == "\n" || line == "\r\n") {
      kept += message.substr(pos);  // the empty line and the body as they are
      return kept;
    }
    field += line;
    pos = end;
  }
  if (!field.empty() && !TakeField(field, fields)) kept += field;
  return kept;
}

}  // namespace kovmail
