// Sha256 through Windows' own hashing (CNG, Vista and later), which uses the
// processor's SHA instructions where it has them. bcrypt.dll is looked up at
// run time so that the program still loads on systems without it (95, 98,
// NT, 2000); there the portable hash works instead.
#include <windows.h>

#include <bcrypt.h>

#include <string>
#include <vector>

#include "sha256.h"

namespace {

// The types only: naming a function in decltype does not import it.
using OpenAlgorithmProviderFunction = decltype(&BCryptOpenAlgorithmProvider);
using CloseAlgorithmProviderFunction = decltype(&BCryptCloseAlgorithmProvider);
using GetPropertyFunction = decltype(&BCryptGetProperty);
using CreateHashFunction = decltype(&BCryptCreateHash);
using HashDataFunction = decltype(&BCryptHashData);
using FinishHashFunction = decltype(&BCryptFinishHash);
using DestroyHashFunction = decltype(&BCryptDestroyHash);

template <typename Function>
bool FindFunction(HMODULE library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return *function != nullptr;
}

// bcrypt.dll of the system folder, never one that lies beside the program.
HMODULE LoadSystemBcrypt() {
  UINT needed = GetSystemDirectoryA(nullptr, 0);
  if (needed == 0) return nullptr;
  std::string path(needed, '\0');
  UINT length = GetSystemDirectoryA(&path[0], needed);
  if (length == 0 || length >= needed) return nullptr;
  path.resize(length);
  path += "\\bcrypt.dll";
  return LoadLibraryA(path.c_str());
}

// The system's SHA-256 provider, opened once and kept until the process
// ends: loading the library and opening the provider take milliseconds (19
// under Wine), a hash microseconds.
struct SystemHashing {
  HMODULE library = nullptr;
  CloseAlgorithmProviderFunction closeAlgorithm = nullptr;
  CreateHashFunction createHash = nullptr;
  HashDataFunction hashData = nullptr;
  FinishHashFunction finishHash = nullptr;
  DestroyHashFunction destroyHash = nullptr;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  DWORD objectSize = 0;

  ~SystemHashing() { Release(); }

  bool Load() {
    library = LoadSystemBcrypt();
    OpenAlgorithmProviderFunction openAlgorithm = nullptr;
    GetPropertyFunction getProperty = nullptr;
    if (library == nullptr || !FindFunction(library, "BCryptOpenAlgorithmProvider", &openAlgorithm) ||
        !FindFunction(library, "BCryptCloseAlgorithmProvider", &closeAlgorithm) ||
        !FindFunction(library, "BCryptGetProperty", &getProperty) ||
        !FindFunction(library, "BCryptCreateHash", &createHash) ||
        !FindFunction(library, "BCryptHashData", &hashData) ||
        !FindFunction(library, "BCryptFinishHash", &finishHash) ||
        !FindFunction(library, "BCryptDestroyHash", &destroyHash) ||
        !BCRYPT_SUCCESS(openAlgorithm(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      algorithm = nullptr;
      return false;
    }
    // Vista wants the caller to hold each hash object's memory.
    ULONG got = 0;
    return BCRYPT_SUCCESS(getProperty(algorithm, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectSize),
                                      sizeof objectSize, &got, 0));
  }

  void Release() {
    if (algorithm != nullptr) closeAlgorithm(algorithm, 0);
    algorithm = nullptr;
    if (library != nullptr) FreeLibrary(library);
    library = nullptr;
  }
};

SystemHashing g_systemHashing;
bool g_systemHashingTried = false;
volatile LONG g_systemHashingLock = 0;

// The process's provider, opened at the first hash; null where there is none.
const SystemHashing* FindSystemHashing() {
  // InterlockedExchange is the one atomic operation that Windows 95 has.
  while (InterlockedExchange(&g_systemHashingLock, 1) != 0) Sleep(0);
  if (!g_systemHashingTried) {
    g_systemHashingTried = true;
    if (!g_systemHashing.Load()) g_systemHashing.Release();
  }
  InterlockedExchange(&g_systemHashingLock, 0);
  return g_systemHashing.algorithm != nullptr ? &g_systemHashing : nullptr;
}

}  // namespace

struct Sha256::State {
  const SystemHashing* system = nullptr;
  std::vector<UCHAR> hashObject;
  // Null when CNG could not start a hash: the portable one stands in.
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool failed = false;
  PortableSha256 portable;

  void Start() {
    failed = false;
    if (system != nullptr && BCRYPT_SUCCESS(system->createHash(system->algorithm, &hash, hashObject.data(),
                                                               static_cast<ULONG>(hashObject.size()), nullptr, 0, 0))) {
      return;
    }
    hash = nullptr;
    PortableSha256Start(&portable);
  }

  void EndHash() {
    if (hash != nullptr) system->destroyHash(hash);
    hash = nullptr;
  }
};

Sha256::Sha256() : state_(new State) {
  state_->system = FindSystemHashing();
  if (state_->system != nullptr) state_->hashObject.resize(state_->system->objectSize);
  state_->Start();
}

Sha256::~Sha256() { state_->EndHash(); }

void Sha256::Update(const void* data, size_t size) {
  if (state_->hash == nullptr) {
    PortableSha256Update(&state_->portable, data, size);
    return;
  }
  // CNG counts in ULONG; size_t may be wider.
  const UCHAR* bytes = static_cast<const UCHAR*>(data);
  while (size > 0) {
    ULONG part = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
    if (!BCRYPT_SUCCESS(state_->system->hashData(state_->hash, const_cast<PUCHAR>(bytes), part, 0))) {
      state_->failed = true;
    }
    bytes += part;
    size -= part;
  }
}

bool Sha256::Final(Sha256Digest* digest) {
  bool done = true;
  if (state_->hash == nullptr) {
    *digest = PortableSha256Final(&state_->portable);
  } else {
    done = BCRYPT_SUCCESS(state_->system->finishHash(state_->hash, digest->data(),
                                                     static_cast<ULONG>(digest->size()), 0)) &&
           !state_->failed;
    state_->EndHash();
  }
  state_->Start();
  return done;
}

const char* Sha256::Implementation() const { return state_->hash != nullptr ? "bcrypt" : "portable"; }
