// Erasure coding through ISA-L, whose routines use the processor's vector
// instructions. Like libcrypto, the library is loaded when it is first
// needed, so that the package depends on libc alone; where it is missing,
// the recovery code's portable arithmetic works instead.
#include <dlfcn.h>
#include <isa-l/erasure_code.h>

#include <vector>

#include "find_function.h"
#include "platform.h"

namespace {

// The types only: naming a function in decltype does not import it.
struct Isal {
  decltype(&ec_init_tables) initTables = nullptr;
  decltype(&ec_encode_data) encodeData = nullptr;
};

// Loaded once for the process and never unloaded; null where it is missing.
const Isal* LoadIsal() {
  void* library = dlopen("libisal.so.2", RTLD_NOW | RTLD_LOCAL);
  static Isal functions;
  if (library == nullptr || !FindFunction(library, "ec_init_tables", &functions.initTables) ||
      !FindFunction(library, "ec_encode_data", &functions.encodeData)) {
    return nullptr;
  }
  return &functions;
}

const Isal* FindIsal() {
  static const Isal* const loaded = LoadIsal();  // thread-safe, once
  return loaded;
}

// Bytes of each piece per call: ISA-L reads every source once for each six
// rows it makes, so a pass is kept small enough for the sources to stay in
// cache in between (and its length fits the library's int).
constexpr size_t kPassBytes = 16 * 1024;

}  // namespace

bool SystemErasureApply(size_t length, uint32_t sources, uint32_t rows, const unsigned char* matrix,
                        const unsigned char* const* in, unsigned char* const* out) {
  const Isal* isal = FindIsal();
  if (isal == nullptr) return false;
  // The library takes its inputs as writable, though it only reads them.
  std::vector<unsigned char> coefficients(matrix, matrix + static_cast<size_t>(sources) * rows);
  std::vector<unsigned char> tables(32 * coefficients.size());
  isal->initTables(static_cast<int>(sources), static_cast<int>(rows), coefficients.data(), tables.data());
  std::vector<unsigned char*> from(sources);
  std::vector<unsigned char*> to(rows);
  for (size_t at = 0; at < length; at += kPassBytes) {
    size_t size = length - at < kPassBytes ? length - at : kPassBytes;
    for (uint32_t c = 0; c < sources; ++c) from[c] = const_cast<unsigned char*>(in[c]) + at;
    for (uint32_t r = 0; r < rows; ++r) to[r] = out[r] + at;
    isal->encodeData(static_cast<int>(size), static_cast<int>(sources), static_cast<int>(rows), tables.data(),
                     from.data(), to.data());
  }
  return true;
}

const char* SystemErasureName() { return FindIsal() != nullptr ? "isa-l" : nullptr; }
