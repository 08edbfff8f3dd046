// The compiler's check of a printf-style format against its arguments. The
// library formats with GNU's conversions everywhere: MinGW's GCC must be told
// so (its own printf knows fewer); clang, and GCC elsewhere, call them printf.
#pragma once

#if defined(__MINGW32__) && !defined(__clang__)
#define KOV_PRINTF_CHECK(formatArg, firstArg) __attribute__((format(gnu_printf, formatArg, firstArg)))
#else
#define KOV_PRINTF_CHECK(formatArg, firstArg) __attribute__((format(printf, formatArg, firstArg)))
#endif
