// Loads the SChannel interface (secur32.dll) and the certificate functions
// (crypt32.dll) on the first TLS use: a plain-text user never loads them, and
// the DLL's import table names neither.
#include <cstdio>
#include <cstring>

#include "platform/win32_tls.h"

namespace platform {

namespace {

// Loads a DLL from the system directory only, never from the application's
// or the current directory, where a planted copy could wait.
HMODULE LoadSystemDll(const char* name) {
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, sizeof path);
  if (length == 0 || length >= sizeof path) return nullptr;
  const int total = snprintf(path + length, sizeof path - length, "\\%s", name);
  if (total < 0 || static_cast<size_t>(total) >= sizeof path - length) return nullptr;
  return LoadLibraryA(path);
}

template <typename Fn>
bool Find(HMODULE module, const char* name, Fn* fn) {
  *fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return *fn != nullptr;
}

bool FindCertificateFunctions(HMODULE crypt32, TlsApi* api) {
  return Find(crypt32, "CertOpenStore", &api->openStore) &&
         Find(crypt32, "CertCloseStore", &api->closeStore) &&
         Find(crypt32, "CertAddEncodedCertificateToStore", &api->addEncodedCertificate) &&
         Find(crypt32, "CryptStringToBinaryA", &api->stringToBinary) &&
         Find(crypt32, "CertCreateCertificateChainEngine", &api->createChainEngine) &&
         Find(crypt32, "CertFreeCertificateChainEngine", &api->freeChainEngine) &&
         Find(crypt32, "CertGetCertificateChain", &api->getChain) &&
         Find(crypt32, "CertVerifyCertificateChainPolicy", &api->verifyChainPolicy) &&
         Find(crypt32, "CertFreeCertificateChain", &api->freeChain) &&
         Find(crypt32, "CertFreeCertificateContext", &api->freeCertificate) &&
         Find(crypt32, "CertNameToStrA", &api->nameToString) &&
         Find(crypt32, "CertFindExtension", &api->findExtension) &&
         Find(crypt32, "CryptDecodeObjectEx", &api->decodeObject);
}

// Every entry of the SChannel table the session calls must be there.
bool HasSessionFunctions(const SecurityFunctionTableA* t) {
  return t->AcquireCredentialsHandleA != nullptr && t->FreeCredentialsHandle != nullptr &&
         t->InitializeSecurityContextA != nullptr && t->DeleteSecurityContext != nullptr &&
         t->ApplyControlToken != nullptr && t->QueryContextAttributesA != nullptr &&
         t->FreeContextBuffer != nullptr && t->EncryptMessage != nullptr &&
         t->DecryptMessage != nullptr;
}

// The DLLs stay loaded for the life of the process: sessions on any thread
// may use the pointers at any time.
const TlsApi* Load() {
  static TlsApi api;
  HMODULE secur32 = LoadSystemDll("secur32.dll");
  HMODULE crypt32 = LoadSystemDll("crypt32.dll");
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");  // in every process already
  INIT_SECURITY_INTERFACE_A init = nullptr;
  if (secur32 == nullptr || crypt32 == nullptr || ntdll == nullptr ||
      !Find(secur32, "InitSecurityInterfaceA", &init) || !FindCertificateFunctions(crypt32, &api) ||
      !Find(ntdll, "RtlIpv4StringToAddressA", &api.ipv4FromText) ||
      !Find(ntdll, "RtlIpv6StringToAddressA", &api.ipv6FromText)) {
    return nullptr;
  }
  api.sspi = init();
  if (api.sspi == nullptr || !HasSessionFunctions(api.sspi)) return nullptr;
  return &api;
}

}  // namespace

int AddressBytes(const TlsApi& api, const char* name, unsigned char address[16]) {
  char bare[64];
  const size_t length = strlen(name);
  const bool bracketed = length >= 2 && name[0] == '[' && name[length - 1] == ']';
  const size_t keep = bracketed ? length - 2 : length;
  if (keep == 0 || keep >= sizeof bare) return 0;
  memcpy(bare, bracketed ? name + 1 : name, keep);
  bare[keep] = '\0';
  const char* end = nullptr;
  if (api.ipv4FromText(bare, TRUE, &end, address) == 0 && end != nullptr && *end == '\0') return 4;
  end = nullptr;
  if (api.ipv6FromText(bare, &end, address) == 0 && end != nullptr && *end == '\0') return 16;
  return 0;
}

const TlsApi* LoadTlsApi() {
  // A function-local static is initialised exactly once, other threads
  // waiting meanwhile.
  static const TlsApi* const api = Load();
  return api;
}

}  // namespace platform
