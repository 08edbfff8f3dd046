/* KOV32: an e-mail client engine (SMTP and POP3) with a flat C interface.
 *
 * Every function returns an int: 0 or a positive value for success, a
 * negative code for a failure (kovErrorText gives its text). Functions that
 * take a channel number need kovAttach first. */
#ifndef KOV32_H
#define KOV32_H

#if defined(_WIN32)
#define KOV_CALL __stdcall
#if defined(KOV_BUILDING_LIBRARY)
#define KOV_API __declspec(dllexport)
#else
#define KOV_API __declspec(dllimport)
#endif
#else
#define KOV_CALL
#define KOV_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Integer parameters (kovIntegerParam). */
#define KOV_DELAY 1
#define KOV_TIMEOUT 2
#define KOV_CONNECT_WAIT 3
#define KOV_BODY_TYPE 8
#define KOV_AUTO_CALL 9
#define KOV_NUMBER_NAMES 10
#define KOV_SLEEP_TIME 13
#define KOV_SAVE_UNNAMED 14
#define KOV_SMTP_PORT 15
#define KOV_POP3_PORT 16
#define KOV_LINE_LENGTH 17
#define KOV_BLOCKING 18
#define KOV_8BIT_TEXT 19
#define KOV_HIDE_SAVE_NOTES 21
#define KOV_NO_TO_HEADER 22
#define KOV_ADDRESS_SEP 23
#define KOV_RESERVED 24
#define KOV_ATTACH_SEP 25
#define KOV_NAME_SEP 26
#define KOV_IMAGE_TYPES 27
#define KOV_DECODE_MODE 28
#define KOV_USE_EHLO 29
#define KOV_USE_APOP 30
#define KOV_ATTACH_NUMBER 31
#define KOV_SKIP_RCPT_ERRORS 32
#define KOV_TEXT_ATTACH 60

/* String parameters (kovStringParam). */
#define KOV_LOG_FILE 20
#define KOV_SAVE_BUFFER 41
#define KOV_REPLY_TO 50
#define KOV_SET_HEADERS 51
#define KOV_LOG_TEXT 52
#define KOV_FROM 53
#define KOV_BODY_CONTENT 54
#define KOV_BODY_ENCODING 55
#define KOV_ADD_HEADER 56
#define KOV_AUTH_PASSWORD 57
#define KOV_USER 58
#define KOV_ALT_TEXT 59
#define KOV_ATTACH_CONTENT 61

/* Library lifecycle. kovAttach creates 0 to 128 channels and returns 1;
 * kovRelease frees them (close connections with kovClose first). */
KOV_API int KOV_CALL kovAttach(int channels);
KOV_API int KOV_CALL kovRelease(void);

/* Error texts. kovErrorText places the text of a code in buffer (size bytes,
 * terminator included) and returns its length; for -36, -49 and -63 the
 * channel's last server reply follows after one blank. A code without a text
 * gives an empty text and 0. */
KOV_API int KOV_CALL kovErrorText(int channel, int code, char* buffer, int size);

/* Codecs and text routines; they need no kovAttach.
 * kovVerifyFormat: 1 when the first address of a list is well formed inside
 * '<' '>', else a negative code.
 * kovExtractText, kovExtractLine: copy the line that holds a text (found
 * ignoring the case of a-z) or the line of a number (first line 1) into out;
 * return its length with the LF, or 0 when there is none or it does not fit.
 * kovEncodeBuffer: base64 in lines of 76 characters, each ended by CR LF; out
 * needs 4 * ((length + 2) / 3) + 2 * ((length + 56) / 57) bytes.
 * kovDecodeBuffer: decodes base64 lines ended by CR LF; out needs
 * 3 * (length / 4) + 4 bytes; the decoded bytes are followed by zero bytes.
 * kovQuoteBuffer: quoted-printable text of a NUL-terminated text as one line,
 * cut to fit size bytes with its NUL. */
KOV_API int KOV_CALL kovVerifyFormat(const char* address);
KOV_API int KOV_CALL kovExtractText(const char* buffer, const char* text, char* out, int size);
KOV_API int KOV_CALL kovExtractLine(const char* buffer, int line, char* out, int size);
KOV_API int KOV_CALL kovEncodeBuffer(const char* source, char* out, int length);
KOV_API int KOV_CALL kovDecodeBuffer(const char* source, char* out, int length);
KOV_API int KOV_CALL kovQuoteBuffer(const char* text, char* out, int size);

/* Parameters. kovIntegerParam returns 1 for a known index, -1 otherwise;
 * kovStringParam returns what the index documents (characters stored, the
 * log handle, ...), -1 for an unknown index, -47 for a null text. */
KOV_API int KOV_CALL kovIntegerParam(int channel, int index, int value);
KOV_API int KOV_CALL kovStringParam(int channel, int index, const char* text);

/* Diagnostics. kovStatistics returns a counter or result of the channel (-1
 * for an unknown selector); kovDebug places a text of the channel in buffer
 * and returns its length. kovDebug with channel -2 checks the library's
 * memory blocks. */
KOV_API int KOV_CALL kovStatistics(int channel, int selector);
KOV_API int KOV_CALL kovDebug(int channel, int selector, char* buffer, int size);

/* Driving. With KOV_AUTO_CALL 0 an operation only starts, and the application
 * calls kovDriver until it returns 0 (done) or a negative code; 9999 and the
 * other positive values mean "call again". kovCommand sends one command line
 * and reads its reply; kovClose sends QUIT and closes the connection;
 * kovAbort closes it at once and returns 1. */
KOV_API int KOV_CALL kovDriver(int channel);
KOV_API int KOV_CALL kovCommand(int channel, const char* text);
KOV_API int KOV_CALL kovAbort(int channel);
KOV_API int KOV_CALL kovClose(int channel);

/* SMTP. kovSmtpConnect connects, greets with HELO (or EHLO with KOV_USE_EHLO,
 * then logs in with CRAM-MD5, LOGIN or PLAIN when the server offers it) and
 * returns 0. The greeting names the domain of the sender's address, or
 * "localhost" when it has none. kovVerifyUser sends VRFY for every entry of a
 * list and returns 1 when the last one was answered with 250, else 0. */
KOV_API int KOV_CALL kovSmtpConnect(int channel, const char* server, const char* from, const char* replyTo);
KOV_API int KOV_CALL kovVerifyUser(int channel, const char* names);

#ifdef __cplusplus
}
#endif

#endif /* KOV32_H */
