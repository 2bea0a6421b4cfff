// The portable SHA-256 (FIPS 180-4), for systems without hashing of their
// own. Plain and byte-order independent rather than fast: where it runs,
// the processor has no SHA instructions anyway.
#include "sha256.h"

#include <cstring>

namespace {

const uint32_t kInitialHash[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                  0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

const uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

uint32_t RotateRight(uint32_t x, int bits) { return (x >> bits) | (x << (32 - bits)); }

uint32_t LoadBigEndian(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
         static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

uint32_t Choose(uint32_t e, uint32_t f, uint32_t g) { return g ^ (e & (f ^ g)); }
uint32_t Majority(uint32_t a, uint32_t b, uint32_t c) { return (a & b) | (c & (a | b)); }

// One round, written so that the caller rotates the names instead of
// moving eight words each round: only d and h change.
void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f, uint32_t g, uint32_t& h,
           uint32_t constantPlusWord) {
  uint32_t t1 = h + (RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25)) + Choose(e, f, g) + constantPlusWord;
  d += t1;
  h = t1 + (RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22)) + Majority(a, b, c);
}

void Compress(uint32_t hash[8], const uint8_t* block) {
  uint32_t w[64];
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(block + 4 * i);
  for (int i = 16; i < 64; ++i) {
    uint32_t sigma0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
    uint32_t sigma1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
    w[i] = w[i - 16] + sigma0 + w[i - 7] + sigma1;
  }
  uint32_t a = hash[0], b = hash[1], c = hash[2], d = hash[3];
  uint32_t e = hash[4], f = hash[5], g = hash[6], h = hash[7];
  const uint32_t* k = kRoundConstants;
  for (int i = 0; i < 64; i += 8) {
    Round(a, b, c, d, e, f, g, h, k[i] + w[i]);
    Round(h, a, b, c, d, e, f, g, k[i + 1] + w[i + 1]);
    Round(g, h, a, b, c, d, e, f, k[i + 2] + w[i + 2]);
    Round(f, g, h, a, b, c, d, e, k[i + 3] + w[i + 3]);
    Round(e, f, g, h, a, b, c, d, k[i + 4] + w[i + 4]);
    Round(d, e, f, g, h, a, b, c, k[i + 5] + w[i + 5]);
    Round(c, d, e, f, g, h, a, b, k[i + 6] + w[i + 6]);
    Round(b, c, d, e, f, g, h, a, k[i + 7] + w[i + 7]);
  }
  hash[0] += a;
  hash[1] += b;
  hash[2] += c;
  hash[3] += d;
  hash[4] += e;
  hash[5] += f;
  hash[6] += g;
  hash[7] += h;
}

}  // namespace

void PortableSha256Start(PortableSha256* state) {
  std::memcpy(state->hash, kInitialHash, sizeof state->hash);
  state->totalBytes = 0;
}

void PortableSha256Update(PortableSha256* state, const void* data, size_t size) {
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  size_t buffered = static_cast<size_t>(state->totalBytes % 64);
  state->totalBytes += size;
  if (buffered > 0) {
    size_t take = size < 64 - buffered ? size : 64 - buffered;
    std::memcpy(state->block + buffered, bytes, take);
    bytes += take;
    size -= take;
    if (buffered + take < 64) return;
    Compress(state->hash, state->block);
  }
  for (; size >= 64; bytes += 64, size -= 64) Compress(state->hash, bytes);
  if (size > 0) std::memcpy(state->block, bytes, size);
}

Sha256Digest PortableSha256Final(PortableSha256* state) {
  // 0x80, zeros up to 8 bytes before a block's end, the length in bits.
  uint64_t bits = state->totalBytes * 8;
  uint8_t padding[72] = {0x80};
  size_t buffered = static_cast<size_t>(state->totalBytes % 64);
  size_t fill = buffered < 56 ? 56 - buffered : 120 - buffered;
  for (int i = 0; i < 8; ++i) padding[fill + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  PortableSha256Update(state, padding, fill + 8);
  Sha256Digest digest;
  for (int i = 0; i < 32; ++i) digest[i] = static_cast<uint8_t>(state->hash[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}
