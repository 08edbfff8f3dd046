// Address lists from the command line and from a message's header, parsed
// and checked before anything goes on the network. No I/O, no library calls.
#pragma once

#include <string>
#include <vector>

namespace kovmail {

struct Mailbox {
  std::string name;     // the display name as written (quotes kept), or empty
  std::string address;  // local@domain, without '<' '>'
};

// Parses a list of mailboxes separated by ',' outside quotes and angle
// brackets: "a@x.org", "Ann <a@x.org>", "\"Smith, John\" <j@y.org>". Each
// entry must be one address (one '@', a local part of dot-atom characters or
// quoted, a domain of letters, digits, '-' and '.', or an address literal)
// with nothing after its '>'. Empty entries between commas are dropped. False
// with `error` naming the entry that is wrong.
bool ParseMailboxes(const std::string& list, std::vector<Mailbox>& out, std::string& error);

// The entry as the library takes it: "<a@x.org>" or "NAME <a@x.org>"; a name
// holding a ',' (the library's list separator) goes as an encoded word.
std::string LibraryEntry(const Mailbox& mailbox);

// The library's list of every mailbox (entries joined by ','), or with
// `bare` only "<address>" entries (an envelope without names).
std::string LibraryList(const std::vector<Mailbox>& mailboxes, bool bare);

}  // namespace kovmail
