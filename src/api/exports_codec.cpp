// The codecs and text routines offered to applications. They need no attached
// library and no channel, and take any pointer and length without faulting:
// null pointers and lengths of 0 or less give 0 (-47 for a missing address).
#include "api/errors.h"
#include "codec/address.h"
#include "codec/base64.h"
#include "codec/quoted.h"
#include "engine/frame/settings.h"
#include "codec/strings.h"
#include "kov32.h"

constexpr bool SameCode(int a, int b) { return a == b; }
static_assert(SameCode(kAddressBadChar, kBadAddressChar) && SameCode(kAddressEmpty, kEmptyAddress) &&
                  SameCode(kAddressMissingAt, kMissingAt) && SameCode(kAddressMissingOpen, kMissingOpenBracket) &&
                  SameCode(kAddressMissingClose, kMissingCloseBracket) && SameCode(kAddressNull, kNullPointer) &&
                  SameCode(kAddressTooManyAt, kTooManyAt),
              "the address check reports the library's codes");

extern "C" KOV_API int KOV_CALL kovVerifyFormat(const char* address) {
  return VerifyAddress(address, SettingsNow().AddressSep);
}

extern "C" KOV_API int KOV_CALL kovExtractText(const char* buffer, const char* text, char* out, int size) {
  return ExtractText(buffer, text, out, size);
}

extern "C" KOV_API int KOV_CALL kovExtractLine(const char* buffer, int line, char* out, int size) {
  return ExtractLine(buffer, line, out, size);
}

extern "C" KOV_API int KOV_CALL kovEncodeBuffer(const char* source, char* out, int length) {
  return EncodeBuffer(source, out, length);
}

extern "C" KOV_API int KOV_CALL kovDecodeBuffer(const char* source, char* out, int length) {
  return DecodeBuffer(source, out, length);
}

extern "C" KOV_API int KOV_CALL kovQuoteBuffer(const char* text, char* out, int size) {
  return QuoteBuffer(text, out, size);
}
