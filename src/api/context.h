// api/: the library frame: the channel table and record, memory blocks, error
// texts, parameters, diagnostics, the log, attach/release and the exported functions.
//
// The per-channel record. A plain struct of sub-records, one per owner, so
// that no buffer changes meaning from state to state: fixed text fields
// (nominal width + 2 bytes), integers and pointers. It lives zero-filled in
// memory block 0 of its channel. Texts enter the fixed fields only through
// bounded copies.
#pragma once

#include <cstdint>

#include "api/decoder_state.h"
#include "api/settings_values.h"
#include "files/file_buffer.h"
#include "platform/sockets.h"

constexpr int kMaxChannels = 128;

// ChannelKind: the protocol of the channel's connection, 0 before any.
constexpr char kSmtpChannel = 'S';
constexpr char kPop3Channel = 'P';

// The connection, the step frame and its timers, and the command/reply lines.
struct LinkState {
  char ServerName[128 + 2];
  // The line being sent: a command or a message line.
  char CommandBuffer[2048 + 2];
  // The server's last reply, and its last line.
  char ReplyBuffer[2048 + 2];
  char LastReplyLine[128 + 2];
  // The command text kovCommand sends.
  char UserCommand[32 + 2];
  int32_t ReplyCode;
  int16_t ConnectPort;
  int16_t SmtpPort;
  int16_t Pop3Port;
  char ChannelKind;
  uint32_t AutoCall;
  uint32_t NonBlockingConnect;
  // KOV_IP_FAMILY: 0 the classic connect to one IPv4 address; 4, 6 or 46 the
  // families whose addresses a connect tries in turn.
  uint8_t IpFamily;
  // Set by the resolve step of a connect that tries every address: the
  // addresses it found, in the order they are tried (so that a family changed
  // in the middle of a connect changes nothing of it).
  uint8_t TriesAddresses;
  uint8_t ServerAddressCount;
  platform::NetAddress ServerAddresses[8];
  uint32_t SlotNumber;
  // 1 while the channel's connection occupies the socket slot SlotNumber, so
  // that the channel's log is handed only to its own slot as trace file.
  uint8_t HoldsSlot;
  // What the last step found missing (a WaitKind: data to read, room to
  // write, a free slot), so that the automatic loop can block on it instead
  // of polling.
  uint8_t WaitFor;
  // The step timers, in ms after TimerStart (elapsed time, so the tick counter
  // may wrap): no step before NotBefore; a step after Deadline fails (0: none).
  uint32_t NotBefore;
  uint32_t Deadline;
  uint32_t TimerStart;
  int32_t StepCount;
  int32_t PrevState;
  int32_t ThisState;
  int32_t NextState;
  int32_t AfterConnectState;
  int32_t LastSockCode;
  // A reply or response line that has not fully arrived is kept here between
  // steps: the bytes held in ReplyBuffer, where its current line starts, when
  // its first and its latest bytes came, and when a limit of the reader runs
  // out (so that a waiting caller knows when to look again).
  uint8_t ReplyPending;
  int32_t ReplyHeld;
  int32_t ReplyLineStart;
  uint32_t ReplyFirstAt;
  uint32_t ReplyLastAt;
  uint32_t ReplyWakeAt;
  // 1 from the start of an operation until its first command goes out:
  // received lines that no step read (the rest of an earlier answer) are
  // discarded then, so that they never answer this command.
  uint8_t UnreadCheckDue;
};

// The login on either protocol: the user, the secrets and the text computed
// from them (an APOP time stamp or a CRAM-MD5 answer).
struct LoginState {
  char UserName[64 + 2];
  char AuthPassword[64 + 2];
  char Pop3Password[64 + 2];
  char AuthText[128 + 2];
  // The decoded CRAM-MD5 challenge.
  char Challenge[2048 + 2];
};

// TLS and the login mechanism (parameters from 102 on): what the application
// asked for, what the server offers and what was chosen.
struct SecurityState {
  // KOV_TLS: 0 plain, 1 STARTTLS/STLS required, 2 implicit.
  uint8_t TlsMode;
  uint8_t TlsVerify;
  int32_t TlsMinVersion;
  char TlsServerName[128 + 2];
  char TlsCaFile[255 + 2];
  // KOV_OAUTH_TOKEN, empty without one.
  char OAuthToken[4096 + 2];
  // KOV_AUTH_MECHANISM, and the OAuth mechanism the login runs with.
  uint8_t AuthMechanism;
  uint8_t OAuthMechanism;
  // What the last capability answer (EHLO, CAPA) offered: kOffers... bits,
  // and how many CAPA lines have come.
  uint32_t Offers;
  int32_t CapaLines;
};

// An SMTP send: the envelope, the message's texts and the composition.
struct SmtpState {
  char FromAddress[128 + 2];
  char ReplyTo[128 + 2];
  char LastRecipient[32 + 2];
  // The message text as it is read from its file, and the cursor in it.
  char MsgBuffer[2048 + 2];
  int32_t MsgBufPos;
  int32_t MsgBufEnd;
  int32_t MsgBufEof;
  // The cursor in the alternative text.
  int32_t AltTextPos;
  char PushbackChar;

  // References into the channel's memory blocks and positions inside them.
  char* RcptCursor;
  char* ToList;
  char* CcList;
  char* BccList;
  char* Subject;
  char* ExtraHeaders;
  char* MessageText;
  char* AttachList;
  char* NextAttach;
  char* RcptSepPos;
  char* AltText;
  char* CurrentRcpt;

  int32_t RcptCount;
  int32_t CcDone;
  int32_t BccDone;
  int32_t VerifyResult;
  int32_t TextInMemory;
  int32_t ContentIdCount;
  uint32_t BodyType;
  uint8_t UseEhlo;
  uint8_t SkipRcptErrors;
  uint8_t RawMessage;  // KOV_RAW_MESSAGE: the message text is sent as it is
  uint8_t InlineImage;
  uint8_t DetectImageTypes;
  uint8_t TextAttachments;
};

// A POP3 mailbox call or download.
struct Pop3State {
  char MailFileName[128 + 2];
  char MailFilePath[128 + 2];
  uint32_t MessageCount;
  int32_t MessageNumber;
  int32_t MessageSize;
  int32_t TopLines;
  int32_t DecodeMode;
  // The caller's buffer for lines (kovGetEmailLines): a memory block.
  char* UserBuffer;
  int32_t UserBufferSize;
  int32_t UserBufferLength;
  uint8_t UseApop;
  // A multi-line POP3 response is read in pieces (a line longer than the
  // read area comes in several): whether the last piece ended inside a line,
  // and whether the response's status line has been read to its end.
  uint8_t PieceMidLine;
  uint8_t StatusLineRead;
};

// The incoming-message decoder: its state for the message being downloaded
// and where the parts go.
struct DecoderState {
  MimeFilter Filter;
  char AttachDir[128 + 2];
  char AttachPath[128 + 2];
  char SavedAttachList[1024 + 2];
  int32_t AttachmentsSaved;
  int32_t AttachmentCounter;
  int32_t AttachFileNumber;
  uint32_t AttachNamePrefix;
  uint32_t SaveUnnamedParts;
};

// The files an operation has open: FileHandle is a part being written, or a
// message text or attachment being read; MailFileHandle the mail file of a
// download. Their buffers are held while the file is open.
struct OpenFiles {
  int32_t FileHandle;
  int32_t MailFileHandle;
  FileBuffer HandleBuffer;
  FileBuffer MailFileBuffer;
};

// The channel's log and byte counters.
struct Diagnostics {
  int32_t LogHandle;
  int32_t TextBytesIn;
  int32_t AttachBytesIn;
  int32_t TextBytesOut;
  int32_t AttachBytesOut;
  // While the library works inside a call (LogHeld 1), log records gather in
  // LogBuffer (held while the log is open) and reach the file before the
  // call returns.
  FileBuffer LogBuffer;
  uint8_t LogHeld;
};

struct ChannelContext {
  int32_t ChannelNumber;
  LinkState link;
  LoginState login;
  SecurityState security;
  SmtpState smtp;
  Pop3State pop;
  DecoderState decoder;
  OpenFiles files;
  Diagnostics diag;
  // The process-wide settings and MIME boundary as the channel's operation
  // took them when it started: every step reads these, never the library's
  // copy, which other threads may change meanwhile.
  OperationSettings settings;
};

// Gives a freshly zero-filled record the values every channel starts with.
void SetAttachValues(ChannelContext& c, int channel);
// Frees the channel's memory slots 1 to 9 and forgets every reference into
// them, so that no later call can reach a freed list or text.
void ReleaseChannelTexts(ChannelContext& c);
