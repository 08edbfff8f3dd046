// The few bytes a streaming decoder keeps from one piece of text for the next
// (a base64 group or a quoted-printable escape cut by the end of a piece, a
// line end held back).
#pragma once

#include <cstdint>

struct Carry {
  char bytes[4];
  uint8_t length;
};
