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

/* Threads: a channel is used by one thread at a time. Any channel may be used
 * from any thread, and different channels from different threads at once.
 * The library creates no threads: an operation runs in the calling thread,
 * inside the call (automatic mode) or inside the application's kovDriver
 * calls (KOV_AUTO_CALL 0). The process-wide parameters below may be set
 * through any channel at any time, also while other threads' operations run:
 * setting one takes the library's lock, and every operation copies the
 * process-wide values it uses (the MIME boundary too) under the same lock
 * when it starts and keeps that copy to its end, all its kovDriver calls
 * included. A change thus counts from the next operation on and never
 * splits a message between old and new values. The memory check
 * (KOV_DEBUG_CHECK_MEMORY) holds the lock of the memory-block table while it
 * walks it, so it may run while other threads' channels allocate. */

/* kovDriver's "call again": the operation goes on; call kovDriver again. */
#define KOV_MORE 9999

/* Integer parameters (kovIntegerParam). "Process" parameters hold for every
 * channel, from its next operation on, although they are set through one;
 * the others belong to the channel named in the call. Times are
 * milliseconds, kept within 0 to 86400000 (one day); negative times count as
 * 0. */
/* process, ms: pause after a command before its reply is read, and between
 * the lines of a message sent; default 25 and 0 (both take the value) */
#define KOV_DELAY 1
/* process, ms: limit for each reply, and for each message line sent or read;
 * default 25000 */
#define KOV_TIMEOUT 2
/* process, ms: limit for a connect; default 60000 */
#define KOV_CONNECT_WAIT 3
/* channel, value AND 15: 0 plain text, 1 plain text quoted-printable, 2 HTML,
 * 3 enriched text, 4 ISO-8859-1 plain text, 9 the content type given by
 * KOV_BODY_CONTENT; default 0 */
#define KOV_BODY_TYPE 8
/* channel, value AND 1: 1 every call runs its operation to the end, 0 a call
 * only starts it and kovDriver runs it; default 1 */
#define KOV_AUTO_CALL 9
/* channel, flag: nonzero names saved attachments "<number>-<name>";
 * default 0 */
#define KOV_NUMBER_NAMES 10
/* process, ms: poll interval while a reply is awaited; sockets take a new
 * value at the next kovAttach; default 100 */
#define KOV_SLEEP_TIME 13
/* channel, flag: nonzero also saves base64 parts without a file name (as
 * "noname" when no name is known); default 0 */
#define KOV_SAVE_UNNAMED 14
/* channel, low 16 bits: SMTP server port; default 25 */
#define KOV_SMTP_PORT 15
/* channel, low 16 bits: POP3 server port; default 110 */
#define KOV_POP3_PORT 16
/* process, characters: plain-text lines are broken at this length, and at the
 * first blank after (value - 18) characters; default 78 (wrap column 61) */
#define KOV_LINE_LENGTH 17
/* channel, flag: 0 asks for non-blocking connects (the value is only
 * recorded); default 1 */
#define KOV_BLOCKING 18
/* process, low byte: nonzero lets bytes below 32 and above 126 into message
 * text unchanged, zero replaces them by '~'; default 0 */
#define KOV_8BIT_TEXT 19
/* process, low byte: nonzero leaves the "[Attachment saved to ...]" notes
 * out of downloaded mail files; default 0 */
#define KOV_HIDE_SAVE_NOTES 21
/* process, low byte: nonzero leaves the "To:" header out of sent messages;
 * default 0 */
#define KOV_NO_TO_HEADER 22
/* process, low byte: character between the addresses of the To, CC and BCC
 * lists; default ',' */
#define KOV_ADDRESS_SEP 23
/* process: accepted, no effect */
#define KOV_RESERVED 24
/* process, low byte: character between the entries of an attachment list and
 * of the saved-attachment list; default ',' */
#define KOV_ATTACH_SEP 25
/* process, low byte: character between the path and the shown name inside
 * one attachment entry; default '|' */
#define KOV_NAME_SEP 26
/* channel, low byte: nonzero sends .gif, .bmp, .tif and .jpg attachments as
 * images with a Content-ID; default 1 */
#define KOV_IMAGE_TYPES 27
/* channel, low 16 bits: 1 stores downloaded messages as received (no MIME
 * decoding), for every download until it is set otherwise; default 0 */
#define KOV_DECODE_MODE 28
/* channel, low byte: nonzero greets with EHLO and, when KOV_USER is set,
 * logs in with an AUTH method the server offers; zero greets with HELO;
 * default 0 */
#define KOV_USE_EHLO 29
/* channel, low byte: nonzero logs in to POP3 with APOP, zero with USER and
 * PASS; default 0 */
#define KOV_USE_APOP 30
/* channel: above 0, saved attachments are named "<number>.att", counting up
 * from this number; default 0 */
#define KOV_ATTACH_NUMBER 31
/* channel, low byte: nonzero lets a rejected recipient end the recipient list
 * instead of failing the send; default 0 */
#define KOV_SKIP_RCPT_ERRORS 32
/* channel, low byte: nonzero sends attachments inline as text instead of
 * base64; default 0 */
#define KOV_TEXT_ATTACH 60
/* process, flag (beyond the classic set): 0 drops every fixed pause (the
 * KOV_DELAY pauses after commands and between message lines, the longer
 * pauses before the greeting, EHLO/HELO, AUTH and login replies are read,
 * and the pause after a closed connection); time limits keep their meaning.
 * Default 1: the pauses as always */
#define KOV_PACING 100
/* channel (beyond the classic set), 0 to 2: how the connection is secured
 * with TLS. 0 plain text, as always. 1 STARTTLS (SMTP) or STLS (POP3) is
 * required: SMTP greets with EHLO (whatever KOV_USE_EHLO says), and a server
 * that does not offer it (KOV_E_TLS_NOT_OFFERED) gets nothing more; POP3
 * asks CAPA before and after STLS. 2 implicit TLS: the handshake runs right
 * after the connect, before the greeting (ports 465 and 995); SMTP greets
 * with EHLO. With 1 or 2 SMTP logs in when KOV_USER is set, as with
 * KOV_USE_EHLO. No password, credential or token is sent before the TLS
 * session stands, and any TLS failure ends the operation with its code and
 * closes the connection at once. The handshake has KOV_TIMEOUT as its limit.
 * Another value is refused (-1, the setting stays). Default 0 */
#define KOV_TLS 102
/* channel, flag: nonzero checks the server's certificate chain and name;
 * zero checks neither (private test servers only). Default 1 */
#define KOV_TLS_VERIFY 103
/* channel: the lowest TLS version accepted, 0x0303 (TLS 1.2) or 0x0304 (TLS
 * 1.3); another value is refused (-1, the setting stays). A server that
 * negotiates less fails with KOV_E_TLS_VERSION. Default 0x0303 */
#define KOV_TLS_MIN_VERSION 104
/* channel, 0 to 5: the login mechanism. 0 (default) automatic: with
 * KOV_OAUTH_TOKEN set and the server offering OAUTHBEARER or XOAUTH2, that one
 * (OAUTHBEARER first), else CRAM-MD5, LOGIN or PLAIN as the server offers
 * them (SMTP) or USER/PASS and APOP (POP3). A value from 1 on forces its
 * mechanism, offered or not: for SMTP 1 PLAIN, 2 LOGIN, 3 CRAM-MD5; for both
 * protocols 4 XOAUTH2, 5 OAUTHBEARER (POP3 logs in with USER/PASS or APOP for
 * 1 to 3). A token goes only over TLS: without a TLS session the login fails
 * with KOV_E_AUTH_NEEDS_TLS and nothing of it is sent. Another value is
 * refused (-1, the setting stays) */
#define KOV_AUTH_MECHANISM 108
#define KOV_AUTH_AUTOMATIC 0
#define KOV_AUTH_PLAIN 1
#define KOV_AUTH_LOGIN 2
#define KOV_AUTH_CRAM_MD5 3
#define KOV_AUTH_XOAUTH2 4
#define KOV_AUTH_OAUTHBEARER 5
/* channel (beyond the classic set): the addresses a connect may use.
 * 0 (the default): the server name's one IPv4 address, as always. 4: every
 * IPv4 address of the name; 6: every IPv6 address; 46: every address of
 * either family, in the order the system's resolver gives them. With 4, 6 or
 * 46 an address literal is used as it is (IPv4 as four decimal groups, IPv6
 * as text or in brackets such as "[::1]"; brackets are accepted with 6 and 46
 * only, around an IPv6 literal without a zone, else KOV_E_BAD_SERVER_NAME),
 * the log shows a "ServerIP = " line for each address (at most 8 are used),
 * and the connect tries them in turn: the next address starts 250 ms after
 * the one before, or at once when that one failed; the first to connect is
 * kept and the others are closed. A name without an address of the allowed
 * families gives KOV_E_NO_ADDRESS. While several attempts are under way,
 * kovWaitInfo names the newest one's socket and at most 250 ms. Any other
 * value: -1, and the setting stays. */
#define KOV_IP_FAMILY 109
/* channel, flag (beyond the classic set): nonzero makes kovSendEmail send
 * `message` (the text, or '@' and a file) as a finished message: after DATA
 * its lines go out as they are, each ended by CR LF (a CR is dropped, LF ends
 * a line, a NUL byte ends the message), a line starting with '.' gets a
 * second one, and the period line follows the last line at once. No header
 * and no MIME part of the library's own is added; the subject, the body type
 * and the other message settings are not used. The To, CC and BCC lists
 * give the envelope only. A line longer than 998 octets fails the send with
 * KOV_E_RAW_LINE_TOO_LONG (the connection is closed without the period, so
 * nothing is delivered); an attachment list is refused with
 * KOV_E_RAW_WITH_PARTS before anything is sent. Default 0 */
#define KOV_RAW_MESSAGE 110

/* String parameters (kovStringParam). Texts are copied, cut to their limit;
 * the result is the number of characters stored unless said otherwise. */
/* channel: closes the channel's log and creates this file as the new one
 * (on POSIX, a new file gets mode 0600); returns the log handle, or -1 when
 * the file cannot be created or is not a regular file (a FIFO or a device
 * is refused: one that nobody reads would hold the channel). The log never
 * shows a secret: passwords, AUTH credentials and the APOP and CRAM-MD5
 * digests appear as "*****" after their command word. */
#define KOV_LOG_FILE 20
/* channel: writes the buffer of the last kovGetEmailLines to this file;
 * returns the bytes written, KOV_E_NULL_POINTER without such a buffer,
 * KOV_E_CANNOT_CREATE_FILE (also for a file that is not a regular file),
 * KOV_E_CANNOT_WRITE_FILE when the text could not be written whole */
#define KOV_SAVE_BUFFER 41
/* channel: Reply-To address, at most 128 characters */
#define KOV_REPLY_TO 50
/* channel: replaces the extra header lines (several lines may be given, one
 * final line break is cut off), sent with or without a subject; an empty
 * text removes them */
#define KOV_SET_HEADERS 51
/* channel: writes the text and CR LF into the channel's log; returns the log
 * handle, 0 when no log is open */
#define KOV_LOG_TEXT 52
/* channel: sender address, at most 128 characters */
#define KOV_FROM 53
/* process: Content-Type line of the message text for KOV_BODY_TYPE 9, at
 * most 128 characters */
#define KOV_BODY_CONTENT 54
/* process: replaces the Content-Transfer-Encoding line of the message text
 * while not empty, at most 128 characters */
#define KOV_BODY_ENCODING 55
/* channel: appends one more extra header line */
#define KOV_ADD_HEADER 56
/* channel: password for SMTP AUTH and POP3, at most 64 characters; the log
 * shows it as "*****" */
#define KOV_AUTH_PASSWORD 57
/* channel: user name for SMTP AUTH and POP3, at most 64 characters */
#define KOV_USER 58
/* channel: the plain-text alternative of an HTML message; only the first
 * setting counts */
#define KOV_ALT_TEXT 59
/* process: replaces the Content-Type line of attachments without an image
 * type while not empty, at most 128 characters */
#define KOV_ATTACH_CONTENT 61
/* process: the character set of texts the library takes and hands over: ""
 * (the default) keeps single-byte texts as they come; "UTF-8" (any case)
 * sends subject, shown names and extra header values that are not ASCII as
 * encoded words, the message text as UTF-8 quoted-printable and attachment
 * names in RFC 2231 form, and decodes downloaded names, header lines and
 * text bodies of every character set the system can convert into UTF-8,
 * keeps every top-level header in the mail file, and creates files from
 * UTF-8 names (through the wide-character file functions on Windows).
 * Returns the characters stored; any other text: -1 and the setting stays. */
#define KOV_CHARSET 101
/* channel: a PEM file of the certificates to trust instead of the system's,
 * at most 255 characters; "" (the default) trusts the system's. A longer
 * text is refused with KOV_E_CANNOT_OPEN_FILE, nothing stored */
#define KOV_TLS_CA_FILE 105
/* channel: the name the server's certificate must carry (and the SNI name),
 * at most 128 characters; "" (the default) takes the server name given to
 * kovSmtpConnect or kovPop3Connect. A name with characters a host name
 * cannot hold, or a longer one, is refused with KOV_E_BAD_SERVER_NAME */
#define KOV_TLS_SERVER_NAME 106
/* channel: the OAuth 2.0 access token for XOAUTH2 and OAUTHBEARER, at most
 * 4,096 characters, with KOV_USER as the user; "" removes it. A longer text,
 * or one holding a blank or a control character, is refused with
 * KOV_E_NO_PASSWORD, nothing stored. The log shows it as "*****" */
#define KOV_OAUTH_TOKEN 107

/* Result codes. Every failure is a negative code; kovErrorText gives its
 * text. The library's own codes: */
#define KOV_E_CANNOT_COMPLY 0             /* "Cannot comply": has a text, returned by nothing */
#define KOV_E_CLOSED (-1)                 /* connection closed; unknown index or selector; log not created */
#define KOV_E_BLOCKING (-4)               /* a blocking socket call is in progress */
#define KOV_E_BAD_STATE (-5)              /* the channel's operation is in a state with no step */
#define KOV_E_INVALID_SOCKET (-7)         /* no socket free for the channel; a later kovDriver retries */
#define KOV_E_TIMEOUT (-8)                /* a reply or a line did not come in time */
#define KOV_E_NO_SOCKADDR (-9)            /* no address structure available */
#define KOV_E_NO_HOST_NAME (-12)          /* no host name */
#define KOV_E_CANNOT_CREATE_SOCKET (-18)  /* a socket could not be created */
#define KOV_E_RESPONSE_OVERFLOW (-31)     /* a server reply overflowed its buffer */
#define KOV_E_BAD_ADDRESS_CHAR (-32)      /* bad character in an e-mail address */
#define KOV_E_CANNOT_ACCESS_WINSOCK (-34) /* the socket system cannot be used */
#define KOV_E_CANNOT_OPEN_FILE (-35)      /* a file to be sent cannot be opened, or is no regular file */
#define KOV_E_CONNECT (-36)               /* the connect failed; the text adds the server's reply */
#define KOV_E_EMPTY_ADDRESS (-37)         /* an e-mail address is empty */
#define KOV_E_FROM_NULL (-38)             /* no sender address given */
#define KOV_E_MISSING_AT (-39)            /* an e-mail address has no '@' */
#define KOV_E_MISSING_FROM (-40)          /* the sender address is missing */
#define KOV_E_MISSING_LT (-41)            /* an e-mail address has no '<' */
#define KOV_E_MISSING_GT (-43)            /* an e-mail address has no closing '>' */
#define KOV_E_NOT_CONNECTED (-44)         /* the channel has no connection */
#define KOV_E_NO_RECIPIENT (-45)          /* no recipient given */
#define KOV_E_SERVER_NOT_FOUND (-46)      /* the server's name cannot be resolved */
#define KOV_E_NULL_POINTER (-47)          /* a required pointer is null */
#define KOV_E_TO_NULL (-48)               /* no recipient list given */
#define KOV_E_SMTP_ERROR (-49)            /* the SMTP server refused; the text adds its reply */
#define KOV_E_NO_SERVER (-50)             /* no server name given */
#define KOV_E_READ (-51)                  /* reading from the connection failed */
#define KOV_E_WRITE (-52)                 /* writing to the connection failed */
#define KOV_E_TOO_MANY_AT (-53)           /* an e-mail address has more than one '@' */
#define KOV_E_UNEXPECTED_GT (-54)         /* an e-mail address has a stray '>' */
#define KOV_E_NO_MEMORY (-55)             /* memory cannot be allocated */
#define KOV_E_BAD_SERVER_NAME (-56)       /* the server name holds characters a host name cannot */
#define KOV_E_APOP_TIMESTAMP (-57)        /* the POP3 greeting has no APOP timestamp */
#define KOV_E_SMTP_ONLY (-58)             /* needs an SMTP connection */
#define KOV_E_POP3_ONLY (-59)             /* needs a POP3 connection */
#define KOV_E_NO_USER (-61)               /* no user name, or one with a line break */
#define KOV_E_NO_PASSWORD (-62)           /* no password, or one with a line break */
#define KOV_E_POP3_ERROR (-63)            /* the POP3 server refused; the text adds its reply */
#define KOV_E_NO_SUCH_MESSAGE (-64)       /* no message with that number */
#define KOV_E_NO_FILE_NAME (-65)          /* no file name given */
#define KOV_E_NO_MAIL_PATH (-66)          /* no path for the mail file given */
#define KOV_E_CANNOT_CREATE_FILE (-67)    /* a file cannot be created (a link or no regular file there) */
#define KOV_E_BUFFER_NULL (-68)           /* the buffer is null */
#define KOV_E_BUFFER_TOO_SMALL (-69)      /* the buffer is smaller than 128 bytes */
#define KOV_E_NO_ATTACH_PATH (-70)        /* no folder for attachments given */
#define KOV_E_NOT_ATTACHED (-71)          /* kovAttach has not been called */
#define KOV_E_ALREADY_ATTACHED (-72)      /* kovAttach was called twice */
#define KOV_E_CHANNEL_RANGE (-73)         /* the channel number is not below the kovAttach count */
/* Beyond the codes above: a file being saved (a downloaded mail file or
 * attachment, the KOV_SAVE_BUFFER file) could not be written, a full disk
 * for one; an attachment left unfinished is removed. */
#define KOV_E_CANNOT_WRITE_FILE (-100)
/* TLS (KOV_TLS) and OAuth (KOV_OAUTH_TOKEN); each ends the operation and
 * closes the connection at once. */
#define KOV_E_TLS_UNAVAILABLE (-101)  /* the system's TLS library cannot be loaded or used */
#define KOV_E_TLS_NOT_OFFERED (-102)  /* the server offers no STARTTLS/STLS, or refused it; the text adds its reply */
#define KOV_E_TLS_HANDSHAKE (-103)    /* the TLS handshake failed */
#define KOV_E_TLS_CERTIFICATE (-104)  /* the server's certificate is not trusted or not for its name */
#define KOV_E_TLS_VERSION (-105)      /* the server negotiated less than KOV_TLS_MIN_VERSION */
#define KOV_E_TLS_INJECTION (-106)    /* plain text followed the server's go-ahead for TLS */
#define KOV_E_AUTH_NEEDS_TLS (-107)   /* a token or password would have gone without TLS */
/* With KOV_IP_FAMILY 4, 6 or 46: the server name has no address of the
 * allowed families (an IPv6 literal with 4, an IPv4 literal with 6, or a name
 * the resolver knows only in the other family). */
#define KOV_E_NO_ADDRESS (-108)
/* With KOV_RAW_MESSAGE: a line of the message is longer than 998 octets. */
#define KOV_E_RAW_LINE_TOO_LONG (-109)
/* With KOV_RAW_MESSAGE: an attachment list was given. */
#define KOV_E_RAW_WITH_PARTS (-110)

/* Socket errors: the negated Windows Sockets error number, on every system. */
#define KOV_E_WSA_INTR (-10004)            /* interrupted call */
#define KOV_E_WSA_BADF (-10009)            /* bad file number */
#define KOV_E_WSA_ACCES (-10013)           /* access denied */
#define KOV_E_WSA_FAULT (-10014)           /* bad address */
#define KOV_E_WSA_INVAL (-10022)           /* invalid argument */
#define KOV_E_WSA_MFILE (-10024)           /* too many open files */
#define KOV_E_WSA_WOULDBLOCK (-10035)      /* the call would block */
#define KOV_E_WSA_INPROGRESS (-10036)      /* a blocking call is in progress */
#define KOV_E_WSA_ALREADY (-10037)         /* the operation is already under way */
#define KOV_E_WSA_NOTSOCK (-10038)         /* not a socket */
#define KOV_E_WSA_DESTADDRREQ (-10039)     /* destination address required */
#define KOV_E_WSA_MSGSIZE (-10040)         /* message too big */
#define KOV_E_WSA_PROTOTYPE (-10041)       /* wrong protocol for the socket */
#define KOV_E_WSA_NOPROTOOPT (-10042)      /* bad protocol option */
#define KOV_E_WSA_PROTONOSUPPORT (-10043)  /* protocol not supported */
#define KOV_E_WSA_SOCKTNOSUPPORT (-10044)  /* socket type not supported */
#define KOV_E_WSA_OPNOTSUPP (-10045)       /* operation not supported */
#define KOV_E_WSA_AFNOSUPPORT (-10047)     /* address family not supported */
#define KOV_E_WSA_ADDRINUSE (-10048)       /* address already in use */
#define KOV_E_WSA_ADDRNOTAVAIL (-10049)    /* address not available */
#define KOV_E_WSA_NETDOWN (-10050)         /* the network is down */
#define KOV_E_WSA_NETUNREACH (-10051)      /* the network cannot be reached */
#define KOV_E_WSA_NETRESET (-10052)        /* the network dropped the connection */
#define KOV_E_WSA_CONNABORTED (-10053)     /* the connection was aborted */
#define KOV_E_WSA_CONNRESET (-10054)       /* the peer reset the connection */
#define KOV_E_WSA_NOBUFS (-10055)          /* no buffer space */
#define KOV_E_WSA_ISCONN (-10056)          /* already connected */
#define KOV_E_WSA_NOTCONN (-10057)         /* not connected */
#define KOV_E_WSA_SHUTDOWN (-10058)        /* the socket was shut down */
#define KOV_E_WSA_TIMEDOUT (-10060)        /* the connect timed out */
#define KOV_E_WSA_CONNREFUSED (-10061)     /* the server refused the connection */
#define KOV_E_WSA_HOSTDOWN (-10064)        /* the host is down */
#define KOV_E_WSA_HOSTUNREACH (-10065)     /* no route to the host */
#define KOV_E_WSA_SYSNOTREADY (-10091)     /* the network system is not ready */
#define KOV_E_WSA_VERNOTSUPPORTED (-10092) /* the socket system's version is not supported */
#define KOV_E_WSA_NOTINITIALISED (-10093)  /* the socket system is not started */
#define KOV_E_WSA_HOST_NOT_FOUND (-11001)  /* the host name does not exist */
#define KOV_E_WSA_TRY_AGAIN (-11002)       /* the host name was not found; try again */
#define KOV_E_WSA_NO_RECOVERY (-11003)     /* name lookup failed for good */
#define KOV_E_WSA_NO_DATA (-11004)         /* the name has no address */

/* kovStatistics selectors; an unknown selector returns -1. */
#define KOV_STAT_STEPS 2              /* driver steps run on the channel */
#define KOV_STAT_REPLY_CODE 3         /* code of the last server reply; POP3: 100 for "+", 500 otherwise */
#define KOV_STAT_SOCK_CODE 4          /* socket code of the last failure, 0 at the start of each operation */
#define KOV_STAT_TEXT_IN 10           /* message text bytes read for sending, or received */
#define KOV_STAT_ATTACH_IN 11         /* attachment bytes read for sending, or decoded and saved */
#define KOV_STAT_BYTES_IN 12          /* KOV_STAT_TEXT_IN + KOV_STAT_ATTACH_IN */
#define KOV_STAT_TEXT_OUT 13          /* message text bytes sent, or written to the mail file */
#define KOV_STAT_ATTACH_OUT 14        /* encoded attachment bytes sent, line ends included */
#define KOV_STAT_BYTES_OUT 15         /* KOV_STAT_TEXT_OUT + KOV_STAT_ATTACH_OUT */
#define KOV_STAT_VERSION 16           /* library version: major, minor, patch in bits 8-15, 4-7, 0-3 (0x0350) */
#define KOV_STAT_MESSAGE_COUNT 17     /* messages in the mailbox, from the last STAT */
#define KOV_STAT_MESSAGE_SIZE 18      /* size of the message of the last LIST */
#define KOV_STAT_BUFFER_LENGTH 19     /* bytes placed by the last kovGetEmailLines */
#define KOV_STAT_CONNECTION 20        /* 1 writable, 0 not (or no connection), KOV_E_CONNECT when it failed */
#define KOV_STAT_ATTACHMENTS_SAVED 22 /* attachments saved from the current message */
#define KOV_STAT_VERIFY_RESULT 24     /* result of the last kovVerifyUser */
#define KOV_STAT_BUILD 26             /* library build number */
#define KOV_STAT_SLOT 27              /* socket slot of the channel's connection */
#define KOV_STAT_RCPT_COUNT 30        /* recipients accepted in the last send */
#define KOV_STAT_TLS 100              /* TLS version of the connection (0x0303, 0x0304), 0 without TLS */

/* kovDebug selectors: the text is placed in the buffer, always terminated and
 * cut to the buffer's size; an unknown selector places "?" and returns 0. */
#define KOV_DEBUG_DATE (-12) /* a Date header line for now; returns 0 */
/* last server reply line, at most 128 characters, its CR LF kept; returns
 * its length without the CR LF */
#define KOV_DEBUG_LAST_REPLY 23
/* server address as dotted text; needs 17 bytes, else 0; an IPv6 address
 * (KOV_IP_FAMILY 6 or 46) as text (RFC 5952 form, no brackets) needs 46
 * bytes, else 0 and an empty text */
#define KOV_DEBUG_REMOTE_ADDRESS 25
#define KOV_DEBUG_LOCAL_ADDRESS 28     /* local address of the connection, as KOV_DEBUG_REMOTE_ADDRESS */
#define KOV_DEBUG_SAVED_ATTACHMENTS 29 /* names of the attachments saved from the last message */
#define KOV_DEBUG_LAST_RECIPIENT 30    /* the last recipient sent */
#define KOV_DEBUG_MAIL_LINES 40        /* text of the kovGetEmailLines buffer; KOV_E_NULL_POINTER without one */
/* the connection's TLS session: "<version> <cipher>; subject: <subject>;
 * issuer: <issuer>"; an empty text and 0 without TLS */
#define KOV_DEBUG_TLS 100
/* Passed as kovDebug's channel: checks the guard bytes of every memory block
 * of the library and alerts for each damaged one; returns 0. */
#define KOV_DEBUG_CHECK_MEMORY (-2)

#ifdef __cplusplus
extern "C" {
#endif

/* Library lifecycle. kovAttach creates 0 to 128 channels and returns 1;
 * kovRelease frees them (close connections with kovClose first). */
KOV_API int KOV_CALL kovAttach(int channels);
KOV_API int KOV_CALL kovRelease(void);

/* Error texts. kovErrorText places the text of a code in buffer (size bytes,
 * terminator included) and returns its length; for KOV_E_CONNECT,
 * KOV_E_SMTP_ERROR and KOV_E_POP3_ERROR the channel's last server reply
 * follows after one blank, and so for KOV_E_TLS_NOT_OFFERED. A code without
 * a text gives an empty text and 0. */
KOV_API int KOV_CALL kovErrorText(int channel, int code, char* buffer, int size);

/* Codecs and text routines; they need no kovAttach.
 * kovVerifyFormat: 1 when the first address of a list is well formed inside
 * '<' '>' (a local part of RFC 5322 dot-atom characters), else a negative
 * code.
 * kovExtractText, kovExtractLine: copy the line that holds a text (found
 * ignoring the case of a-z) or the line of a number (first line 1) into out;
 * return its length with the LF, or 0 when there is none or it does not fit.
 * kovEncodeBuffer: base64 in lines of 76 characters, each ended by CR LF; out
 * needs 4 * ((length + 2) / 3) + 2 * ((length + 56) / 57) bytes.
 * kovDecodeBuffer: decodes base64 text; CR and LF are passed over, so lines
 * may end in CR LF or LF alone and a group of four may span a line end; out
 * needs 3 * (length / 4) + 4 bytes; the decoded bytes are followed by 4 zero
 * bytes.
 * kovQuoteBuffer: quoted-printable text of a NUL-terminated text as one line,
 * cut to fit size bytes with its NUL. */
KOV_API int KOV_CALL kovVerifyFormat(const char* address);
KOV_API int KOV_CALL kovExtractText(const char* buffer, const char* text, char* out, int size);
KOV_API int KOV_CALL kovExtractLine(const char* buffer, int line, char* out, int size);
KOV_API int KOV_CALL kovEncodeBuffer(const char* source, char* out, int length);
KOV_API int KOV_CALL kovDecodeBuffer(const char* source, char* out, int length);
KOV_API int KOV_CALL kovQuoteBuffer(const char* text, char* out, int size);

/* Parameters. kovIntegerParam returns 1 for a known index, -1 otherwise
 * (and for a value its index refuses).
 * kovStringParam returns what the index documents (characters stored, the
 * log handle, ...), -1 for an unknown index, KOV_E_NULL_POINTER for a null
 * text. A text that would go on the wire as one line is refused, with nothing
 * stored, when it holds a CR or LF: KOV_USER returns KOV_E_NO_USER,
 * KOV_AUTH_PASSWORD KOV_E_NO_PASSWORD, KOV_FROM KOV_E_BAD_ADDRESS_CHAR. */
KOV_API int KOV_CALL kovIntegerParam(int channel, int index, int value);
KOV_API int KOV_CALL kovStringParam(int channel, int index, const char* text);

/* Diagnostics. kovStatistics returns a counter or result of the channel
 * (KOV_STAT_ selectors, -1 for another); kovDebug places a text of the
 * channel in buffer (KOV_DEBUG_ selectors) and returns its length, 0 for a
 * null buffer. kovDebug with the channel KOV_DEBUG_CHECK_MEMORY checks the
 * library's memory blocks and needs no kovAttach. */
KOV_API int KOV_CALL kovStatistics(int channel, int selector);
KOV_API int KOV_CALL kovDebug(int channel, int selector, char* buffer, int size);

/* Driving. With KOV_AUTO_CALL 0 an operation only starts, and the application
 * calls kovDriver until it returns 0 (done) or a negative code. A positive
 * result means "call again": a state number when a step was done, KOV_MORE
 * when the operation waits (for the server's reply, for room to send, for a
 * timer). No kovDriver call waits in the system: after KOV_MORE the
 * application waits as kovWaitInfo says and then calls kovDriver again.
 * A failure ends the operation
 * and closes the connection and any file it held; the one exception is
 * KOV_E_INVALID_SOCKET while connecting: all connections are in use, and a
 * later call tries again.
 * kovCommand sends one command line and reads its reply: KOV_E_BAD_SERVER_NAME
 * on a channel that never connected or for a text holding CR or LF or longer
 * than 32 characters (nothing is sent), KOV_E_NOT_CONNECTED once its
 * connection is gone. Received lines no call has read (the rest of a
 * multi-line answer) are discarded, and logged, before an operation sends its
 * first command. kovClose sends QUIT and closes the connection (0 also when
 * the server had closed it already; inside an unfinished message it closes
 * without QUIT, which would be message text);
 * kovAbort closes it at once and returns 1. Both act only on the channel's
 * own connection. */
KOV_API int KOV_CALL kovDriver(int channel);
/* What the channel's operation waits for, after kovDriver returned KOV_MORE:
 * *socket is the socket to wait on (-1: none, only the time), *events
 * KOV_WAIT_READ or KOV_WAIT_WRITE (0 with no socket), *timeoutMs the
 * milliseconds until the channel's next timer or time limit, when kovDriver
 * must be called whatever the socket does (0: call it now; -1: no limit, as
 * poll() takes it). 0, KOV_E_NULL_POINTER for a null pointer, or the channel
 * checks' codes. Wait with poll/select/epoll/WSAPoll, then call kovDriver. */
#define KOV_WAIT_READ 1
#define KOV_WAIT_WRITE 2
KOV_API int KOV_CALL kovWaitInfo(int channel, int* socket, int* events, int* timeoutMs);
KOV_API int KOV_CALL kovCommand(int channel, const char* text);
KOV_API int KOV_CALL kovAbort(int channel);
KOV_API int KOV_CALL kovClose(int channel);

/* SMTP. kovSmtpConnect connects, greets with HELO (or EHLO with KOV_USE_EHLO,
 * then logs in with CRAM-MD5, LOGIN or PLAIN when the server offers it and
 * KOV_USER is set) and returns 0; a reply of another class than the step
 * needs (4xx included) gives KOV_E_SMTP_ERROR. The greeting names the
 * domain of the sender's address, or "localhost" when it has none; a sender
 * holding CR or LF gives KOV_E_BAD_ADDRESS_CHAR. kovVerifyUser sends VRFY
 * for every entry of a list and returns 1 when the last one was answered with
 * 250, else 0; a refusal answers only its name, a lost connection fails the
 * call. It needs the channel's own connection (KOV_E_NOT_CONNECTED) and a
 * list without CR or LF (KOV_E_BAD_ADDRESS_CHAR). */
KOV_API int KOV_CALL kovSmtpConnect(int channel, const char* server, const char* from, const char* replyTo);
KOV_API int KOV_CALL kovVerifyUser(int channel, const char* names);

/* kovSendEmail sends one message on a channel connected by kovSmtpConnect:
 * MAIL FROM, RCPT TO for every entry of the To, CC and BCC lists (entries
 * separated by KOV_ADDRESS_SEP, each an address in '<' '>' with an optional
 * name before it), DATA, the composed message and its end. `message` is the
 * text, or '@' and the name of a file holding it; `attachments` lists files
 * (KOV_ATTACH_SEP between entries, KOV_NAME_SEP before a shown name). These
 * files must be regular files: a FIFO, a device or a directory is refused at
 * once with KOV_E_CANNOT_OPEN_FILE, so that no send waits on one. Every
 * argument but `to` may be null or empty. 0 when the server accepted the
 * message (or, with KOV_SKIP_RCPT_ERRORS, when no recipient was accepted and
 * the transaction was reset), else a KOV_E_ code. Every entry of every list is
 * checked before anything is sent: an argument error leaves the connection,
 * and a send still running on it, as they were. */
KOV_API int KOV_CALL kovSendEmail(int channel, const char* to, const char* cc, const char* bcc, const char* subject,
                                  const char* message, const char* attachments);

/* POP3. kovPop3Connect logs in (USER/PASS, or APOP with KOV_USE_APOP) on
 * port KOV_POP3_PORT; the mailbox calls then work on that connection until
 * kovClose sends QUIT. Message numbers start at 1. */
KOV_API int KOV_CALL kovPop3Connect(int channel, const char* server, const char* user, const char* password);
/* The number of messages in the mailbox (STAT). */
KOV_API int KOV_CALL kovGetEmailCount(int channel);
/* The size of message `number` in octets (LIST n). */
KOV_API int KOV_CALL kovGetEmailSize(int channel, int number);
/* The unique identifier line of message `number` (UIDL n), or, for a number
 * below 0, the whole list, into `buffer` (at least 128 bytes); the length of
 * the text placed. */
KOV_API int KOV_CALL kovGetEmailUID(int channel, int number, char* buffer, int size);
/* Marks message `number` for deletion (DELE n); it is removed at kovClose. */
KOV_API int KOV_CALL kovDeleteEmail(int channel, int number);
/* The header and the first `lines` body lines of message `number` (TOP n
 * lines) into `buffer` (at least 128 bytes), or, for a null buffer or "*",
 * into a library buffer of `size` bytes (KOV_DEBUG_MAIL_LINES, KOV_SAVE_BUFFER);
 * the bytes placed. */
KOV_API int KOV_CALL kovGetEmailLines(int channel, int number, int lines, char* buffer, int size);
/* Downloads message `number` (RETR) into the file `name` in directory `dir`:
 * as received with KOV_DECODE_MODE 1, else decoded, with attachments saved as
 * files in `attachDir` (an empty directory is the current one). 0 when the
 * whole message was stored. Files are created only as regular files, never
 * through a symbolic link; attachment names keep no folder ('/', '\\' and
 * ':' end one) and a leading '.' becomes "_.". A write that fails gives
 * KOV_E_CANNOT_WRITE_FILE; an attachment left unfinished by any failure is
 * removed. */
KOV_API int KOV_CALL kovGetEmailFile(int channel, int number, const char* name, const char* dir, const char* attachDir);

#ifdef __cplusplus
}
#endif

#endif /* KOV32_H */
