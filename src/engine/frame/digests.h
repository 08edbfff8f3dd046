// The login responses that need a digest, built in a channel's AuthText.
#pragma once

#include "api/context.h"

// CRAM-MD5: the decoded challenge of `length` bytes (only the text before its
// first CR counts), however long. Writes into AuthText UserName, one blank and
// the HMAC-MD5 of the challenge keyed with AuthPassword, as 32 lowercase
// hexadecimal digits.
void CramMd5Response(ChannelContext& c, const char* challenge, int length);

// APOP: AuthText holds the greeting's time stamp ("<" to ">"). Replaces it
// with UserName, one blank and the MD5 of the time stamp followed by
// Pop3Password, as 32 lowercase hexadecimal digits. The password is taken
// from its own field so that a long time stamp cannot crowd it out.
void ApopDigest(ChannelContext& c);
