// Driver states. The numbers appear in the log ("<%3d:%ld>") and in the error
// line of a failure: never renumber. Each state has one row in the step table
// of its phase file (a unit test holds every label to exactly one row).
#pragma once

#define KOV_DRIVER_STATES(X) \
  X(Done, 0)                 \
  X(LocalHost, 101)          \
  X(LocalHost2, 102)         \
  X(LocalHost3, 103)         \
  X(ResolveServer, 104)      \
  X(OpenSocket, 105)         \
  X(AwaitConnected, 106)     \
  X(CramStart, 150)          \
  X(CramChallenge, 151)      \
  X(CramRespond, 152)        \
  X(CramResult, 153)         \
  X(LoginStart, 160)         \
  X(LoginUser, 162)          \
  X(LoginPassword, 163)      \
  X(LoginResult, 164)        \
  X(PlainStart, 170)         \
  X(PlainResult, 171)        \
  X(SmtpStart, 200)          \
  X(SmtpGreeting, 201)       \
  X(SmtpHello, 202)          \
  X(SmtpHelloReply, 203)     \
  X(MailFrom, 204)           \
  X(MailFromReply, 205)      \
  X(NextRecipient, 206)      \
  X(RcptTo, 207)             \
  X(RcptToReply, 208)        \
  X(Data, 209)               \
  X(DataReply, 210)          \
  X(Reset, 211)              \
  X(ResetReply, 212)         \
  X(HeaderStart, 220)        \
  X(HeaderMailer, 221)       \
  X(HeaderDate, 223)         \
  X(HeaderTo, 224)           \
  X(HeaderFrom, 225)         \
  X(HeaderReplyTo, 226)      \
  X(HeaderSubject, 227)      \
  X(HeaderCc, 228)           \
  X(HeaderMime, 229)         \
  X(HeaderContentType, 230)  \
  X(HeaderEnd, 233)          \
  X(TextPartStart, 234)      \
  X(TextPartType, 236)       \
  X(TextPartEncoding, 237)   \
  X(TextOpen, 238)           \
  X(TextFromMemory, 240)     \
  X(TextLineFromMemory, 241) \
  X(TextFromFile, 244)       \
  X(TextLineFromFile, 245)   \
  X(RawOpen, 246)            \
  X(RawLine, 247)            \
  X(EndOfData, 251)          \
  X(EndOfDataReply, 252)     \
  X(Quit, 258)               \
  X(QuitReply, 259)          \
  X(AttachBoundary, 260)     \
  X(AttachType, 261)         \
  X(AttachEncoding, 262)     \
  X(AttachDisposition, 263)  \
  X(AttachOpen, 264)         \
  X(AttachBase64Line, 265)   \
  X(AttachTextLine, 267)     \
  X(SmtpStartTls, 250)       \
  X(SmtpStartTlsReply, 253)  \
  X(SmtpTlsHandshake, 254)   \
  X(SmtpTlsConnect, 255)     \
  X(VerifyNext, 270)         \
  X(VerifySend, 271)         \
  X(VerifyReply, 272)        \
  X(OAuthStart, 273)         \
  X(OAuthReply, 274)         \
  X(OAuthFinal, 275)         \
  X(SmtpCommand, 298)        \
  X(SmtpCommandReply, 299)   \
  X(Pop3Start, 300)          \
  X(Pop3Greeting, 301)       \
  X(Pop3SendApop, 302)       \
  X(Pop3SendUser, 303)       \
  X(Pop3UserReply, 304)      \
  X(Pop3SendPass, 305)       \
  X(Pop3LoginReply, 306)     \
  X(Pop3SendStat, 307)       \
  X(Pop3StatReply, 308)      \
  X(Pop3RawLine, 309)        \
  X(Pop3SendRetr, 310)       \
  X(Pop3SendTop, 311)        \
  X(Pop3MessageLine, 312)    \
  X(Pop3MessageEnd, 313)     \
  X(Pop3TopLine, 314)        \
  X(Pop3SendDele, 315)       \
  X(Pop3DeleReply, 316)      \
  X(Pop3SendList, 317)       \
  X(Pop3ListReply, 318)      \
  X(Pop3SendUidl, 320)       \
  X(Pop3UidlLine, 321)       \
  X(Pop3TlsConnect, 350)     \
  X(Pop3TlsHandshake, 351)   \
  X(Pop3SendCapa, 352)       \
  X(Pop3CapaLine, 353)       \
  X(Pop3SendStls, 354)       \
  X(Pop3StlsReply, 355)      \
  X(Pop3AuthStart, 370)      \
  X(Pop3AuthGoAhead, 371)    \
  X(Pop3AuthReply, 372)      \
  X(Pop3AuthFinal, 373)      \
  X(Pop3Command, 398)        \
  X(Pop3CommandReply, 399)   \
  X(AltPartType, 400)        \
  X(AltPartText, 401)        \
  X(AltPartEnd, 402)

enum DriverState : int {
#define KOV_STATE_ENUM(name, number) name = number,
  KOV_DRIVER_STATES(KOV_STATE_ENUM)
#undef KOV_STATE_ENUM
};

// Every state label, in the order above.
extern const DriverState kAllStates[];
extern const int kStateCount;

// The label of a state ("SmtpGreeting"), "?" for a number without one.
const char* StateName(int state);
