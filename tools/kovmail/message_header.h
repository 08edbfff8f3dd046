// The header of a finished message (kovmail send --eml, -t): the address
// fields the envelope comes from, and the message without its Bcc header.
// No I/O, no library calls.
#pragma once

#include <string>

namespace kovmail {

struct AddressFields {
  std::string from;  // every From value, joined by ','
  std::string to;    // every To value
  std::string cc;
  std::string bcc;
};

// Reads the header block (up to the first empty line; lines end in CR LF or
// LF, folded lines are unfolded) into `fields` (field names in any case)
// and returns the message with every Bcc field, folded lines included, left
// out; the rest stays byte for byte.
std::string ReadAddressFields(const std::string& message, AddressFields& fields);

}  // namespace kovmail
