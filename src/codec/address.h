// Syntax checks of an e-mail address in angle brackets and of a server name.
#pragma once

// Results of the address check; the negative values are the library's error
// codes of the same meaning.
enum AddressResult : int {
  kAddressOk = 1,
  kAddressBadChar = -32,
  kAddressEmpty = -37,
  kAddressMissingAt = -39,
  kAddressMissingOpen = -41,
  kAddressMissingClose = -43,
  kAddressNull = -47,
  kAddressTooManyAt = -53,
};

// Whether a text holds a CR or an LF: sent in a command it would become a
// second protocol line. A null text holds none.
bool HasLineBreak(const char* text);

// 1 when no character of the name is '<', '>' or '@' and every one lies in
// 0x20..0x7E or 0xC0..0xFF, else 0. An empty name gives 1, a null one 0.
int ValidServerName(const char* name);

// Checks the characters from `first` to `last` inclusive, in order: before
// the '@' the characters of an RFC 5322 dot-atom (letters, digits, '.' and
// ! # $ % & ' * + - / = ? ^ _ ` { | } ~), after it letters, digits and
// _ - / . $ & '; exactly one '@' is required.
// Returns 1, -53 at a second '@', -32 at a character outside the set, or -39
// when no '@' was seen.
int CheckAddressChars(const char* first, const char* last);

// Checks the first address of a list (the part before `separator`): it must
// be enclosed in '<' '>' and be well formed between them; text outside the
// brackets is not examined. Returns 1 or a negative AddressResult.
int VerifyAddress(const char* text, char separator);
