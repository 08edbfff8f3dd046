// The checks at the end of a Win32 TLS handshake. SChannel is told to leave
// the server's certificate alone (manual validation), so the library builds
// the chain itself and requires both the chain's own trust status and the
// SSL policy with the server's name to pass: the policy alone, on some
// systems, accepts a chain that ends at an unknown root.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"
#include "platform/tls.h"
#include "platform/win32_tls.h"

namespace platform {

namespace {

// A CA file larger than this is not a list of roots.
constexpr uint32_t kMaxCaFileBytes = 4u << 20;

// The whole file, NUL-terminated, in memory from malloc (grown as it is
// read); null on failure.
char* ReadWholeFile(const char* path) {
  const int handle = FileOpenRead(path);
  if (handle < 0) return nullptr;
  char* text = nullptr;
  uint32_t capacity = 0;
  uint32_t length = 0;
  int got = 1;
  while (got > 0) {
    if (length == capacity) {
      capacity = capacity == 0 ? 65536 : 2 * capacity;
      char* grown = capacity <= kMaxCaFileBytes ? static_cast<char*>(realloc(text, capacity + 1)) : nullptr;
      if (grown == nullptr) break;
      text = grown;
    }
    got = FileRead(handle, text + length, capacity - length);
    if (got > 0) length += static_cast<uint32_t>(got);
  }
  FileClose(handle);
  if (got != 0) {  // a read failed, or the file is too large
    free(text);
    return nullptr;
  }
  text[length] = '\0';
  return text;
}

// Decodes the base64 text between one BEGIN and END line and adds the
// certificate to the store.
bool AddPemBlock(const TlsApi& api, HCERTSTORE store, const char* base64, DWORD length) {
  DWORD size = 0;
  if (!api.stringToBinary(base64, length, CRYPT_STRING_BASE64, nullptr, &size, nullptr, nullptr) ||
      size == 0) {
    return false;
  }
  BYTE* der = static_cast<BYTE*>(malloc(size));
  const bool ok =
      der != nullptr &&
      api.stringToBinary(base64, length, CRYPT_STRING_BASE64, der, &size, nullptr, nullptr) &&
      api.addEncodedCertificate(store, X509_ASN_ENCODING, der, size, CERT_STORE_ADD_ALWAYS, nullptr);
  free(der);
  return ok;
}

// Adds every well-formed certificate of a PEM text; the count added.
int AddPemCertificates(const TlsApi& api, HCERTSTORE store, const char* text) {
  static const char kBegin[] = "-----BEGIN CERTIFICATE-----";
  static const char kEnd[] = "-----END CERTIFICATE-----";
  int added = 0;
  for (const char* at = strstr(text, kBegin); at != nullptr; at = strstr(at, kBegin)) {
    const char* body = at + sizeof kBegin - 1;
    const char* end = strstr(body, kEnd);
    if (end == nullptr) break;
    if (AddPemBlock(api, store, body, static_cast<DWORD>(end - body))) ++added;
    at = end + sizeof kEnd - 1;
  }
  return added;
}

}  // namespace

HCERTSTORE LoadRootStore(const TlsApi& api, const char* path) {
  char* text = ReadWholeFile(path);
  if (text == nullptr) return nullptr;
  HCERTSTORE store = api.openStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr);
  if (store != nullptr && AddPemCertificates(api, store, text) == 0) {
    api.closeStore(store, 0);
    store = nullptr;
  }
  free(text);
  return store;
}

namespace {

// A chain engine whose only trusted roots are the store's.
HCERTCHAINENGINE ExclusiveEngine(const TlsApi& api, HCERTSTORE roots) {
  CERT_CHAIN_ENGINE_CONFIG config;
  memset(&config, 0, sizeof config);
  // The size the structure had when the exclusive root arrived (Windows 7):
  // accepted by that system and every later one.
  config.cbSize = offsetof(CERT_CHAIN_ENGINE_CONFIG, hExclusiveTrustedPeople) + sizeof(HCERTSTORE);
  config.hExclusiveRoot = roots;
  HCERTCHAINENGINE engine = nullptr;
  return api.createChainEngine(&config, &engine) ? engine : nullptr;
}

// The SSL policy for the chain, with the server's name unless it is null.
bool PolicyAccepts(const TlsApi& api, PCCERT_CHAIN_CONTEXT chain, const char* serverName) {
  wchar_t name[256];
  if (serverName != nullptr &&
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, serverName, -1, name, 256) <= 0) {
    return false;
  }
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl;
  memset(&ssl, 0, sizeof ssl);
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = serverName != nullptr ? name : nullptr;
  CERT_CHAIN_POLICY_PARA para;
  memset(&para, 0, sizeof para);
  para.cbSize = sizeof para;
  para.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS status;
  memset(&status, 0, sizeof status);
  status.cbSize = sizeof status;
  return api.verifyChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &para, &status) && status.dwError == 0;
}

// Whether the certificate lists the address among its subject alternative
// names (the SSL policy matches host names only).
bool CertificateHasAddress(const TlsApi& api, PCCERT_CONTEXT cert, const unsigned char* address,
                           int length) {
  const CERT_INFO* info = cert->pCertInfo;
  PCERT_EXTENSION names = api.findExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
  CERT_ALT_NAME_INFO* decoded = nullptr;
  DWORD size = 0;
  if (names == nullptr ||
      !api.decodeObject(X509_ASN_ENCODING, X509_ALTERNATE_NAME, names->Value.pbData, names->Value.cbData,
                        CRYPT_DECODE_ALLOC_FLAG, nullptr, &decoded, &size)) {
    return false;
  }
  bool found = false;
  for (DWORD i = 0; i < decoded->cAltEntry && !found; ++i) {
    const CERT_ALT_NAME_ENTRY& entry = decoded->rgAltEntry[i];
    found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
            entry.IPAddress.cbData == static_cast<DWORD>(length) &&
            memcmp(entry.IPAddress.pbData, address, length) == 0;
  }
  LocalFree(decoded);
  return found;
}

// The policy with the server's name, or for an address literal the policy
// without a name and the address among the certificate's.
bool NameMatches(const TlsApi& api, PCCERT_CHAIN_CONTEXT chain, PCCERT_CONTEXT cert,
                 const char* serverName) {
  unsigned char address[16];
  const int length = AddressBytes(api, serverName, address);
  if (length == 0) return PolicyAccepts(api, chain, serverName);
  return PolicyAccepts(api, chain, nullptr) && CertificateHasAddress(api, cert, address, length);
}

// The chain from the server's certificate (with the intermediates it sent) to
// a trusted root, for server authentication, and its name.
bool CertificateTrusted(const TlsApi& api, PCCERT_CONTEXT cert, const char* serverName,
                        HCERTSTORE roots) {
  HCERTCHAINENGINE engine = nullptr;
  if (roots != nullptr && (engine = ExclusiveEngine(api, roots)) == nullptr) return false;
  static char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {serverAuth};
  CERT_CHAIN_PARA para;
  memset(&para, 0, sizeof para);
  para.cbSize = sizeof para;
  para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  para.RequestedUsage.Usage.cUsageIdentifier = 1;
  para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  PCCERT_CHAIN_CONTEXT chain = nullptr;
  bool trusted = api.getChain(engine, cert, nullptr, cert->hCertStore, &para, 0, nullptr, &chain) &&
                 chain->TrustStatus.dwErrorStatus == CERT_TRUST_NO_ERROR &&
                 NameMatches(api, chain, cert, serverName);
  if (chain != nullptr) api.freeChain(chain);
  if (engine != nullptr) api.freeChainEngine(engine);
  return trusted;
}

int WireVersion(DWORD protocol) {
  if ((protocol & SP_PROT_TLS1_3_CLIENT) != 0) return kTls13;
  if ((protocol & SP_PROT_TLS1_2_CLIENT) != 0) return kTls12;
  if ((protocol & SP_PROT_TLS1_1_CLIENT) != 0) return 0x0302;
  if ((protocol & SP_PROT_TLS1_0_CLIENT) != 0) return 0x0301;
  if ((protocol & SP_PROT_SSL3_CLIENT) != 0) return 0x0300;
  return 0;
}

const char* VersionName(int version) {
  switch (version) {
    case kTls13: return "TLSv1.3";
    case kTls12: return "TLSv1.2";
    case 0x0302: return "TLSv1.1";
    case 0x0301: return "TLSv1";
    case 0x0300: return "SSLv3";
    default: return "unknown";
  }
}

const char* CipherName(ALG_ID cipher) {
  switch (cipher) {
    case CALG_AES_128:
    case CALG_AES_192:
    case CALG_AES_256: return "AES";
    case CALG_3DES: return "3DES";
    case CALG_RC4: return "RC4";
    default: return "unknown";
  }
}

void Describe(const TlsApi& api, PCCERT_CONTEXT cert, const SecPkgContext_ConnectionInfo& info,
              PeerFacts* facts) {
  char subject[160] = "";
  char issuer[160] = "";
  if (cert != nullptr) {
    api.nameToString(X509_ASN_ENCODING, &cert->pCertInfo->Subject, CERT_X500_NAME_STR, subject,
                     sizeof subject);
    api.nameToString(X509_ASN_ENCODING, &cert->pCertInfo->Issuer, CERT_X500_NAME_STR, issuer,
                     sizeof issuer);
  }
  snprintf(facts->description, sizeof facts->description, "%s %s-%lu; subject: %s; issuer: %s",
           VersionName(facts->version), CipherName(info.aiCipher),
           static_cast<unsigned long>(info.dwCipherStrength), subject, issuer);
}

}  // namespace

int CheckPeer(const TlsApi& api, CtxtHandle* context, const char* serverName, bool verify,
              HCERTSTORE roots, int minVersion, PeerFacts* facts) {
  SecPkgContext_ConnectionInfo info;
  memset(&info, 0, sizeof info);
  facts->version = 0;
  facts->description[0] = '\0';
  if (api.sspi->QueryContextAttributesA(context, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) {
    return kTlsHandshakeFailed;
  }
  facts->version = WireVersion(info.dwProtocol);
  PCCERT_CONTEXT cert = nullptr;
  if (api.sspi->QueryContextAttributesA(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &cert) != SEC_E_OK) {
    cert = nullptr;
  }
  Describe(api, cert, info, facts);
  int result = kTlsOk;
  if (verify && (cert == nullptr || !CertificateTrusted(api, cert, serverName, roots))) {
    result = kTlsBadCertificate;
  } else if (facts->version < minVersion) {
    result = kTlsOldVersion;
  }
  if (cert != nullptr) api.freeCertificate(cert);
  return result;
}

}  // namespace platform
