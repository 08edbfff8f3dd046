// The per-channel record. A plain struct of fixed text fields (nominal width
// + 2 bytes), integers and pointers; it lives zero-filled in memory block 0 of
// its channel. Texts enter the fixed fields only through bounded copies.
#pragma once

#include <cstdint>

#include "files/file_buffer.h"
#include "engine/mime/state.h"

constexpr int kMaxChannels = 128;

// ChannelKind: the protocol of the channel's connection, 0 before any.
constexpr char kSmtpChannel = 'S';
constexpr char kPop3Channel = 'P';

struct ChannelContext {
  int32_t ChannelNumber;

  char ScratchBuffer[2048 + 2];
  char CommandBuffer[2048 + 2];
  char ReplyBuffer[2048 + 2];
  char MsgBuffer[2048 + 2];
  char TopBoundary[128 + 2];
  char NestedBoundary[128 + 2];
  char LastReplyLine[128 + 2];
  char ServerName[128 + 2];
  char FromAddress[128 + 2];
  char ReplyTo[128 + 2];
  char UserName[64 + 2];
  char Pop3Password[64 + 2];
  char MailFileName[128 + 2];
  char MailDir[128 + 2];
  char AttachDir[128 + 2];
  char AttachName[128 + 2];
  char MailFilePath[128 + 2];
  char AttachPath[128 + 2];
  char SavedAttachList[1024 + 2];
  char UserCommand[32 + 2];
  char AuthPassword[64 + 2];
  char AuthText[128 + 2];
  char LastRecipient[32 + 2];

  int32_t RcptCount;

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

  uint32_t SlotNumber;
  // The step timers, in ms after TimerStart (elapsed time, so the tick counter
  // may wrap): no step before NotBefore; a step after Deadline fails (0: none).
  uint32_t NotBefore;
  uint32_t Deadline;
  uint32_t TimerStart;
  int32_t StepCount;
  int32_t TextBytesIn;
  int32_t AttachBytesIn;
  int32_t TextBytesOut;
  int32_t AttachBytesOut;
  int32_t TextInMemory;
  int32_t CcDone;
  int32_t BccDone;
  int16_t ConnectPort;
  int16_t SmtpPort;
  int16_t Pop3Port;
  int32_t ReplyCode;
  int32_t FileHandle;
  int32_t PrevState;
  int32_t ThisState;
  int32_t NextState;
  int32_t AfterConnectState;
  int32_t LastSockCode;
  int32_t LogHandle;
  uint32_t MessageCount;
  char ChannelKind;

  int32_t MessageNumber;
  int32_t MessageSize;
  int32_t TopLines;
  int32_t MailFileHandle;
  char* UserBuffer;
  int32_t UserBufferSize;
  int32_t UserBufferLength;

  int32_t DecodeMode;
  int32_t TopBoundaryLength;
  int32_t BoundaryCount;
  int32_t MimeEncoding;
  int32_t NestedBoundaryLength;
  int32_t VerifyResult;
  int32_t AttachmentsSaved;
  int32_t AttachmentCounter;
  char* CurrentRcpt;
  uint8_t InlineFlag;
  uint32_t AutoCall;
  uint32_t AttachNamePrefix;
  uint32_t BodyType;
  char PushbackChar;
  uint8_t BlankLineSeen;
  uint8_t DetectImageTypes;
  int32_t MsgBufPos;
  int32_t MsgBufEnd;
  int32_t MsgBufEof;
  uint32_t SaveUnnamedParts;
  uint32_t NonBlockingConnect;
  int32_t ContentIdCount;
  int32_t AttachFileNumber;
  uint8_t InlineImage;
  uint8_t UseEhlo;
  uint8_t UseApop;
  uint8_t EmbeddedMessage;
  uint8_t TextAttachments;
  uint8_t SkipRcptErrors;

  // 1 while the channel's connection occupies the socket slot SlotNumber, so
  // that the channel's log is handed only to its own slot as trace file.
  uint8_t HoldsSlot;
  // What the last step found missing (a WaitKind: data to read, room to
  // write, a free slot), so that the automatic loop can block on it instead
  // of polling.
  uint8_t WaitFor;

  // A multi-line POP3 response is read in pieces (a line longer than the
  // read area comes in several): whether the last piece ended inside a line,
  // and whether the response's status line has been read to its end.
  uint8_t PieceMidLine;
  uint8_t StatusLineRead;

  // The incoming-message decoder's state for the message being downloaded.
  MimeFilter Mime;

  // The buffers of MailFileHandle and of FileHandle (a part being written,
  // or a message text or attachment being read), held while the file is open.
  FileBuffer MailFileBuffer;
  FileBuffer HandleBuffer;
};

// Gives a freshly zero-filled record the values every channel starts with.
void SetAttachValues(ChannelContext& c, int channel);
// Frees the channel's memory slots 1 to 9 and forgets every reference into
// them, so that no later call can reach a freed list or text.
void ReleaseChannelTexts(ChannelContext& c);
