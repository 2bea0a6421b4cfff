// Sha256 through OpenSSL's libcrypto, whose EVP interface uses the
// processor's SHA instructions where it has them.
#include <openssl/evp.h>

#include "sha256.h"

struct Sha256::State {
  // Null when libcrypto could not start a hash: the portable one stands in.
  EVP_MD_CTX* context = nullptr;
  bool failed = false;
  PortableSha256 portable;

  void Start() {
    failed = false;
    if (context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1) return;
    EVP_MD_CTX_free(context);
    context = nullptr;
    PortableSha256Start(&portable);
  }
};

Sha256::Sha256() : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  state_->Start();
}

Sha256::~Sha256() { EVP_MD_CTX_free(state_->context); }

void Sha256::Update(const void* data, size_t size) {
  if (state_->context == nullptr) {
    PortableSha256Update(&state_->portable, data, size);
  } else if (EVP_DigestUpdate(state_->context, data, size) != 1) {
    state_->failed = true;
  }
}

bool Sha256::Final(Sha256Digest* digest) {
  bool done = true;
  if (state_->context == nullptr) {
    *digest = PortableSha256Final(&state_->portable);
  } else {
    unsigned int length = 0;
    done = EVP_DigestFinal_ex(state_->context, digest->data(), &length) == 1 && length == digest->size() &&
           !state_->failed;
  }
  state_->Start();
  return done;
}

const char* Sha256::Implementation() const { return state_->context != nullptr ? "libcrypto" : "portable"; }
