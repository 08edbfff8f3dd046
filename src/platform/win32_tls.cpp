// Win32 side of the TLS session: SChannel, reached through the function
// table that win32_tls_load.cpp fills on the first use. The session owns
// three buffers: ciphertext received and not yet used, plaintext decrypted and
// not yet read, and ciphertext produced and not yet taken.
#include <cstdlib>
#include <cstring>

#include "platform/tls.h"
#include "platform/win32_tls.h"

namespace platform {

namespace {

// The longest TLS record: 2^14 bytes of plaintext, up to 2048 of expansion,
// and the 5-byte header.
constexpr int kRecordHeader = 5;
constexpr int kMaxRecord = 16384 + 2048 + kRecordHeader;
// Room for a whole record and the start of the next one.
constexpr int kInputCapacity = 2 * kMaxRecord;
// InitializeSecurityContext calls one TlsHandshake makes at most: a flight
// of records is a handful; more means a peer that keeps the loop turning.
constexpr int kMaxHandshakeCalls = 64;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

enum class Phase { kHandshake, kOpen, kRenegotiate, kClosed, kFailed };

}  // namespace

struct TlsSession {
  const TlsApi* api;
  CredHandle credentials;
  CtxtHandle context;
  bool hasCredentials;
  bool hasContext;
  bool established;    // the first handshake passed its checks
  bool shutdownSent;
  bool renegotiationCalled;  // the context has seen the renegotiation request
  Phase phase;
  int failure;         // what a failed session keeps answering
  bool verify;
  bool sendName;
  int minVersion;
  HCERTSTORE roots;    // the CA file's roots, or null for the system's
  char serverName[256];
  SecPkgContext_StreamSizes sizes;
  PeerFacts facts;
  unsigned char input[kInputCapacity];
  int inputLength;
  unsigned char plain[kMaxRecord];
  int plainStart;
  int plainEnd;
  unsigned char* output;  // ciphertext to send: output[outputStart..outputEnd)
  int outputStart;
  int outputEnd;
  int outputCapacity;
};

namespace {

// ---- the output queue --------------------------------------------------------

bool ReserveOutput(TlsSession* s, int extra) {
  if (s->outputStart > 0) {
    memmove(s->output, s->output + s->outputStart, s->outputEnd - s->outputStart);
    s->outputEnd -= s->outputStart;
    s->outputStart = 0;
  }
  if (extra > s->outputCapacity - s->outputEnd) {
    if (extra > 0x3FFFFFFF - s->outputEnd) return false;
    int capacity = s->outputCapacity > 0 ? s->outputCapacity : 2 * kMaxRecord;
    while (capacity - s->outputEnd < extra) capacity *= 2;
    void* grown = realloc(s->output, capacity);
    if (grown == nullptr) return false;
    s->output = static_cast<unsigned char*>(grown);
    s->outputCapacity = capacity;
  }
  return true;
}

// Queues a token SChannel allocated and frees it; false when it could not be
// queued.
bool QueueToken(TlsSession* s, SecBuffer* token) {
  if (token->pvBuffer == nullptr) return true;
  const int length = static_cast<int>(token->cbBuffer);
  const bool ok = length >= 0 && ReserveOutput(s, length);
  if (ok) {
    memcpy(s->output + s->outputEnd, token->pvBuffer, length);
    s->outputEnd += length;
  }
  s->api->sspi->FreeContextBuffer(token->pvBuffer);
  token->pvBuffer = nullptr;
  return ok;
}

// Keeps the last `extra` bytes of the input (those a call left unused).
void KeepInputTail(TlsSession* s, ULONG extra) {
  const int keep = extra < static_cast<ULONG>(s->inputLength) ? static_cast<int>(extra) : s->inputLength;
  memmove(s->input, s->input + s->inputLength - keep, keep);
  s->inputLength = keep;
}

int Fail(TlsSession* s, int code) {
  s->phase = Phase::kFailed;
  s->failure = code;
  return code;
}

// ---- credentials -------------------------------------------------------------

bool Acquire(TlsSession* s, DWORD protocols) {
  // SCHANNEL_CRED, whose enabled-protocol mask every SChannel honours; the
  // library checks the certificate itself and offers none of its own.
  SCHANNEL_CRED cred;
  memset(&cred, 0, sizeof cred);
  cred.dwVersion = SCHANNEL_CRED_VERSION;
  cred.grbitEnabledProtocols = protocols;
  cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  char package[] = UNISP_NAME_A;
  TimeStamp expiry;
  s->hasCredentials = s->api->sspi->AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                                              &cred, nullptr, nullptr, &s->credentials,
                                                              &expiry) == SEC_E_OK;
  return s->hasCredentials;
}

int AcquireCredentials(TlsSession* s) {
  if (s->minVersion > kTls13) return kTlsUnavailable;
  const bool allow12 = s->minVersion <= kTls12;
  if (Acquire(s, SP_PROT_TLS1_3_CLIENT | (allow12 ? SP_PROT_TLS1_2_CLIENT : 0))) return kTlsOk;
  // A system without TLS 1.3 refuses its flag: TLS 1.2 alone then.
  if (allow12 && Acquire(s, SP_PROT_TLS1_2_CLIENT)) return kTlsOk;
  return kTlsUnavailable;
}

// ---- the handshake -----------------------------------------------------------

// Whether the input starts like a TLS record: a known content type
// (change_cipher_spec, alert, handshake, application_data), major version 3
// and a length a record can have, as far as those bytes are there. A peer
// that answers in plain text fails at once instead of being waited for.
bool RecordHeaderPlausible(const TlsSession* s) {
  const unsigned char* h = s->input;
  if (s->inputLength >= 1 && (h[0] < 20 || h[0] > 23)) return false;
  if (s->inputLength >= 2 && h[1] != 3) return false;
  return s->inputLength < kRecordHeader || kRecordHeader + (h[3] << 8 | h[4]) <= kMaxRecord;
}

// The length of the whole record at the start of the input: 0 while part of
// it is still to come, -1 when the input does not start with a record.
int WholeRecord(const TlsSession* s) {
  if (!RecordHeaderPlausible(s)) return -1;
  if (s->inputLength < kRecordHeader) return 0;
  const int length = kRecordHeader + (s->input[3] << 8 | s->input[4]);
  return s->inputLength >= length ? length : 0;
}

// One InitializeSecurityContext call on the input so far: its status, its
// output queued, the input it used dropped.
SECURITY_STATUS CallInitialize(TlsSession* s) {
  SecBuffer in[2] = {{static_cast<ULONG>(s->inputLength), SECBUFFER_TOKEN, s->input},
                     {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
  SecBuffer out[2] = {{0, SECBUFFER_TOKEN, nullptr}, {0, SECBUFFER_ALERT, nullptr}};
  SecBufferDesc outDesc = {SECBUFFER_VERSION, 2, out};
  ULONG attributes = 0;
  const bool first = !s->hasContext;
  const SECURITY_STATUS status = s->api->sspi->InitializeSecurityContextA(
      &s->credentials, first ? nullptr : &s->context, s->sendName ? s->serverName : nullptr,
      kContextRequest, 0, 0, first ? nullptr : &inDesc, 0, &s->context, &outDesc, &attributes, nullptr);
  if (first && status >= 0) s->hasContext = true;
  const bool queued = QueueToken(s, &out[0]) & QueueToken(s, &out[1]);
  if (!first && status != SEC_E_INCOMPLETE_MESSAGE) {
    KeepInputTail(s, in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
  }
  return queued ? status : SEC_E_INSUFFICIENT_MEMORY;
}

// The handshake (or a renegotiation) is complete: the record sizes, then the
// certificate and the version.
int Established(TlsSession* s) {
  memset(&s->sizes, 0, sizeof s->sizes);
  if (s->api->sspi->QueryContextAttributesA(&s->context, SECPKG_ATTR_STREAM_SIZES, &s->sizes) != SEC_E_OK ||
      s->sizes.cbMaximumMessage == 0 || s->sizes.cbMaximumMessage > 16384 ||
      s->sizes.cbHeader > 1024 || s->sizes.cbTrailer > 1024) {
    return Fail(s, kTlsHandshakeFailed);
  }
  const int checked = CheckPeer(*s->api, &s->context, s->serverName, s->verify, s->roots, s->minVersion,
                                &s->facts);
  if (checked != kTlsOk) return Fail(s, checked);
  s->phase = Phase::kOpen;
  s->established = true;
  return kTlsOk;
}

// Waits for more ciphertext, unless the input is full: a handshake message
// that does not fit is not one this session accepts.
int WantInput(TlsSession* s) {
  return s->inputLength < kInputCapacity ? kTlsWantInput : Fail(s, kTlsHandshakeFailed);
}

int RunHandshake(TlsSession* s) {
  for (int call = 0; call < kMaxHandshakeCalls; ++call) {
    // A renegotiation request is handed to the context once even when no
    // byte followed it.
    const bool requestPending = s->phase == Phase::kRenegotiate && !s->renegotiationCalled;
    if (s->hasContext && s->inputLength == 0 && !requestPending) return kTlsWantInput;
    if (requestPending) s->renegotiationCalled = true;
    if (s->hasContext && !RecordHeaderPlausible(s)) return Fail(s, kTlsHandshakeFailed);
    const int before = s->inputLength;
    const SECURITY_STATUS status = CallInitialize(s);
    if (status == SEC_E_OK) return Established(s);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return WantInput(s);
    // SEC_I_INCOMPLETE_CREDENTIALS: the server asked for a client
    // certificate, and the next call goes on without one. Any other status
    // but these is a refusal.
    if (status == SEC_I_CONTINUE_NEEDED) {
      if (s->inputLength > 0 && s->inputLength == before) return WantInput(s);
    } else if (status != SEC_I_INCOMPLETE_CREDENTIALS) {
      return Fail(s, kTlsHandshakeFailed);
    }
  }
  return Fail(s, kTlsHandshakeFailed);
}

// ---- records -----------------------------------------------------------------

enum class Decrypted { kProgress, kWait, kBroken };

// Decrypts the record at the start of the input into the plaintext buffer,
// which is empty; notes a close_notify and a renegotiation request.
Decrypted DecryptRecord(TlsSession* s) {
  constexpr unsigned char kAlertRecord = 21;
  const bool alert = s->input[0] == kAlertRecord;
  SecBuffer b[4] = {{static_cast<ULONG>(s->inputLength), SECBUFFER_DATA, s->input},
                    {0, SECBUFFER_EMPTY, nullptr},
                    {0, SECBUFFER_EMPTY, nullptr},
                    {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
  const SECURITY_STATUS status = s->api->sspi->DecryptMessage(&s->context, &desc, 0, nullptr);
  if (status == SEC_E_INCOMPLETE_MESSAGE) return Decrypted::kWait;
  if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
    return Decrypted::kBroken;
  }
  ULONG extra = 0;
  s->plainStart = s->plainEnd = 0;
  for (int i = 1; i < 4; ++i) {
    if (b[i].BufferType == SECBUFFER_EXTRA) extra = b[i].cbBuffer;
    if (b[i].BufferType != SECBUFFER_DATA || b[i].pvBuffer == nullptr) continue;
    if (b[i].cbBuffer > sizeof s->plain) return Decrypted::kBroken;
    memcpy(s->plain, b[i].pvBuffer, b[i].cbBuffer);
    s->plainEnd = static_cast<int>(b[i].cbBuffer);
  }
  KeepInputTail(s, extra);
  // SEC_I_CONTEXT_EXPIRED: the peer's close_notify; some SChannels (Wine's)
  // answer SEC_E_OK with no data for it instead, which only an alert record
  // does (the session never asks for a renegotiation that a warning could
  // refuse). SEC_I_RENEGOTIATE: a handshake message (a TLS 1.2
  // renegotiation, a TLS 1.3 ticket or key update) that the input's
  // remaining bytes carry to the context.
  if (status == SEC_I_CONTEXT_EXPIRED || (alert && s->plainEnd == 0)) s->phase = Phase::kClosed;
  if (status == SEC_I_RENEGOTIATE) {
    s->phase = Phase::kRenegotiate;
    s->renegotiationCalled = false;
  }
  return Decrypted::kProgress;
}

// Decrypts until plaintext is there, the input holds no whole record, or the
// stream ended; a renegotiation runs as far as the input allows.
void Fill(TlsSession* s) {
  while (s->plainStart == s->plainEnd) {
    if (s->phase == Phase::kRenegotiate && RunHandshake(s) != kTlsOk) return;
    if (s->phase != Phase::kOpen) return;
    const int record = WholeRecord(s);
    if (record == 0) return;
    const Decrypted result = record < 0 ? Decrypted::kBroken : DecryptRecord(s);
    if (result == Decrypted::kWait) return;
    if (result == Decrypted::kBroken) s->phase = Phase::kClosed;
  }
}

bool EncryptRecord(TlsSession* s, const unsigned char* data, int length) {
  const int header = static_cast<int>(s->sizes.cbHeader);
  const int trailer = static_cast<int>(s->sizes.cbTrailer);
  if (!ReserveOutput(s, header + length + trailer)) return false;
  unsigned char* at = s->output + s->outputEnd;
  memcpy(at + header, data, length);
  SecBuffer b[4] = {{static_cast<ULONG>(header), SECBUFFER_STREAM_HEADER, at},
                    {static_cast<ULONG>(length), SECBUFFER_DATA, at + header},
                    {static_cast<ULONG>(trailer), SECBUFFER_STREAM_TRAILER, at + header + length},
                    {0, SECBUFFER_EMPTY, nullptr}};
  SecBufferDesc desc = {SECBUFFER_VERSION, 4, b};
  if (s->api->sspi->EncryptMessage(&s->context, 0, &desc, 0) != SEC_E_OK) return false;
  const ULONG produced = b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer;
  if (produced > static_cast<ULONG>(header + length + trailer)) return false;
  s->outputEnd += static_cast<int>(produced);
  return true;
}

}  // namespace

// ---- the interface -----------------------------------------------------------

int TlsCreate(const TlsOptions& options, TlsSession** session) {
  if (session == nullptr) return kTlsHandshakeFailed;
  *session = nullptr;
  if (options.serverName == nullptr || strlen(options.serverName) >= sizeof(TlsSession::serverName)) {
    return kTlsHandshakeFailed;
  }
  const TlsApi* api = LoadTlsApi();
  if (api == nullptr) return kTlsUnavailable;
  TlsSession* s = static_cast<TlsSession*>(calloc(1, sizeof(TlsSession)));
  if (s == nullptr) return kTlsUnavailable;
  s->api = api;
  strcpy(s->serverName, options.serverName);
  // The server name indication carries host names only, never an address.
  unsigned char address[16];
  s->sendName = s->serverName[0] != '\0' && AddressBytes(*api, s->serverName, address) == 0;
  s->verify = options.verify;
  s->minVersion = options.minVersion;
  int result = kTlsOk;
  if (s->verify && options.caFile != nullptr && options.caFile[0] != '\0' &&
      (s->roots = LoadRootStore(*api, options.caFile)) == nullptr) {
    result = kTlsBadCertificate;
  }
  if (result == kTlsOk) result = AcquireCredentials(s);
  if (result != kTlsOk) {
    TlsFree(s);
    return result;
  }
  *session = s;
  return kTlsOk;
}

void TlsFree(TlsSession* s) {
  if (s == nullptr) return;
  if (s->hasContext) s->api->sspi->DeleteSecurityContext(&s->context);
  if (s->hasCredentials) s->api->sspi->FreeCredentialsHandle(&s->credentials);
  if (s->roots != nullptr) s->api->closeStore(s->roots, 0);
  free(s->output);
  free(s);
}

int TlsPutInput(TlsSession* s, const void* data, int length) {
  if (s == nullptr || data == nullptr || length <= 0) return 0;
  const int room = kInputCapacity - s->inputLength;
  const int taken = length < room ? length : room;
  memcpy(s->input + s->inputLength, data, taken);
  s->inputLength += taken;
  return taken;
}

int TlsTakeOutput(TlsSession* s, void* buffer, int length) {
  if (s == nullptr || buffer == nullptr || length <= 0) return 0;
  const int waiting = s->outputEnd - s->outputStart;
  const int count = length < waiting ? length : waiting;
  memcpy(buffer, s->output + s->outputStart, count);
  s->outputStart += count;
  if (s->outputStart == s->outputEnd) s->outputStart = s->outputEnd = 0;
  return count;
}

int TlsOutputPending(const TlsSession* s) { return s == nullptr ? 0 : s->outputEnd - s->outputStart; }

int TlsHandshake(TlsSession* s) {
  if (s == nullptr) return kTlsHandshakeFailed;
  switch (s->phase) {
    case Phase::kHandshake: return RunHandshake(s);
    case Phase::kFailed: return s->failure;
    case Phase::kClosed: return s->established ? kTlsOk : kTlsClosed;
    default: return kTlsOk;
  }
}

int TlsWrite(TlsSession* s, const void* data, int length) {
  if (s == nullptr || (s->phase != Phase::kOpen && s->phase != Phase::kRenegotiate)) return kTlsClosed;
  if (data == nullptr || length <= 0) return 0;
  const unsigned char* bytes = static_cast<const unsigned char*>(data);
  const int most = static_cast<int>(s->sizes.cbMaximumMessage);
  for (int taken = 0; taken < length;) {
    const int chunk = length - taken < most ? length - taken : most;
    if (!EncryptRecord(s, bytes + taken, chunk)) return kTlsClosed;
    taken += chunk;
  }
  return length;
}

int TlsRead(TlsSession* s, void* buffer, int length) {
  if (s == nullptr) return kTlsClosed;
  if (buffer == nullptr || length <= 0) return 0;
  Fill(s);
  const int ready = s->plainEnd - s->plainStart;
  if (ready > 0) {
    const int count = length < ready ? length : ready;
    memcpy(buffer, s->plain + s->plainStart, count);
    s->plainStart += count;
    return count;
  }
  return s->phase == Phase::kClosed || s->phase == Phase::kFailed ? kTlsClosed : 0;
}

bool TlsHasPlaintext(TlsSession* s) {
  if (s == nullptr) return false;
  Fill(s);
  return s->plainEnd > s->plainStart || s->phase == Phase::kClosed ||
         (s->phase == Phase::kFailed && s->established);
}

int TlsVersion(const TlsSession* s) { return s != nullptr && s->established ? s->facts.version : 0; }

int TlsDescribe(const TlsSession* s, char* buffer, int size) {
  if (buffer == nullptr || size <= 0) return 0;
  const char* text = s != nullptr && s->established ? s->facts.description : "";
  int length = static_cast<int>(strlen(text));
  if (length > size - 1) length = size - 1;
  memcpy(buffer, text, length);
  buffer[length] = '\0';
  return length;
}

void TlsShutdown(TlsSession* s) {
  if (s == nullptr || !s->established || s->shutdownSent || s->phase == Phase::kFailed) return;
  // Nothing is written after a close_notify, even when none could be made.
  s->shutdownSent = true;
  s->phase = Phase::kClosed;
  DWORD type = SCHANNEL_SHUTDOWN;
  SecBuffer control = {sizeof type, SECBUFFER_TOKEN, &type};
  SecBufferDesc controlDesc = {SECBUFFER_VERSION, 1, &control};
  if (s->api->sspi->ApplyControlToken(&s->context, &controlDesc) != SEC_E_OK) return;
  SecBuffer out = {0, SECBUFFER_TOKEN, nullptr};
  SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out};
  ULONG attributes = 0;
  const SECURITY_STATUS status = s->api->sspi->InitializeSecurityContextA(
      &s->credentials, &s->context, s->sendName ? s->serverName : nullptr, kContextRequest, 0, 0, nullptr,
      0, &s->context, &outDesc, &attributes, nullptr);
  if (status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) {
    QueueToken(s, &out);
  } else if (out.pvBuffer != nullptr) {
    s->api->sspi->FreeContextBuffer(out.pvBuffer);
  }
}

}  // namespace platform
