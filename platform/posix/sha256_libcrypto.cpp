// Sha256 through OpenSSL's libcrypto, whose EVP interface uses the
// processor's SHA instructions where it has them. The library is loaded
// at the first hash, not at the program's start (8 ms that a split without
// checksums would pay for nothing), and the portable hash stands in where
// it is missing.
#include <dlfcn.h>
#include <openssl/evp.h>

#include "find_function.h"
#include "sha256.h"

namespace {

// The types only: naming a function in decltype does not import it.
struct Libcrypto {
  decltype(&EVP_MD_CTX_new) newContext = nullptr;
  decltype(&EVP_MD_CTX_free) freeContext = nullptr;
  decltype(&EVP_sha256) sha256 = nullptr;
  decltype(&EVP_DigestInit_ex) init = nullptr;
  decltype(&EVP_DigestUpdate) update = nullptr;
  decltype(&EVP_DigestFinal_ex) final = nullptr;
};

// Loaded once for the process and never unloaded; null where it is missing.
const Libcrypto* LoadLibcrypto() {
  void* library = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
  static Libcrypto functions;
  if (library == nullptr || !FindFunction(library, "EVP_MD_CTX_new", &functions.newContext) ||
      !FindFunction(library, "EVP_MD_CTX_free", &functions.freeContext) ||
      !FindFunction(library, "EVP_sha256", &functions.sha256) ||
      !FindFunction(library, "EVP_DigestInit_ex", &functions.init) ||
      !FindFunction(library, "EVP_DigestUpdate", &functions.update) ||
      !FindFunction(library, "EVP_DigestFinal_ex", &functions.final)) {
    return nullptr;
  }
  return &functions;
}

const Libcrypto* FindLibcrypto() {
  static const Libcrypto* const loaded = LoadLibcrypto();  // thread-safe, once
  return loaded;
}

}  // namespace

struct Sha256::State {
  const Libcrypto* crypto = nullptr;
  // Null when libcrypto could not start a hash: the portable one stands in.
  EVP_MD_CTX* context = nullptr;
  bool failed = false;
  PortableSha256 portable;

  void Start() {
    failed = false;
    if (context != nullptr && crypto->init(context, crypto->sha256(), nullptr) == 1) return;
    if (context != nullptr) crypto->freeContext(context);
    context = nullptr;
    PortableSha256Start(&portable);
  }
};

Sha256::Sha256() : state_(new State) {
  state_->crypto = FindLibcrypto();
  if (state_->crypto != nullptr) state_->context = state_->crypto->newContext();
  state_->Start();
}

Sha256::~Sha256() {
  if (state_->context != nullptr) state_->crypto->freeContext(state_->context);
}

void Sha256::Update(const void* data, size_t size) {
  if (state_->context == nullptr) {
    PortableSha256Update(&state_->portable, data, size);
  } else if (state_->crypto->update(state_->context, data, size) != 1) {
    state_->failed = true;
  }
}

bool Sha256::Final(Sha256Digest* digest) {
  bool done = true;
  if (state_->context == nullptr) {
    *digest = PortableSha256Final(&state_->portable);
  } else {
    unsigned int length = 0;
    done = state_->crypto->final(state_->context, digest->data(), &length) == 1 && length == digest->size() &&
           !state_->failed;
  }
  state_->Start();
  return done;
}

const char* Sha256::Implementation() const { return state_->context != nullptr ? "libcrypto" : "portable"; }
