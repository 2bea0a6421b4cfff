#include "recovery_pieces.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "free_space.h"
#include "naming.h"
#include "piece_set.h"
#include "recovery_code.h"
#include "slots.h"
#include "stop_request.h"
#include "text_format.h"

namespace {

constexpr char kMagic[8] = {'D', 'V', 'R', 'E', 'C', 'O', 'V', 'R'};
constexpr uint32_t kVersion = 1;
// magic, version, code, N, K, index, a reserved word, the row's length.
constexpr uint64_t kFixedBytes = 8 + 6 * 4 + 8;
constexpr uint64_t kPieceEntryBytes = 8 + 32;
// Every row of a pass together stays well under the job's 64 MiB.
constexpr size_t kPassBytes = size_t{32} << 20;
constexpr size_t kLargestChunk = size_t{1} << 20;
constexpr size_t kSmallestChunk = size_t{4} << 10;

void PutNumber(std::string* text, uint64_t value, int bytes) {
  for (int k = 0; k < bytes; ++k) text->push_back(static_cast<char>((value >> (8 * k)) & 0xff));
}

uint64_t GetNumber(const unsigned char* bytes, int count) {
  uint64_t value = 0;
  for (int k = count - 1; k >= 0; --k) value = (value << 8) | bytes[k];
  return value;
}

Sha256Digest DigestOf(const void* bytes, size_t length) {
  Sha256 hash;
  hash.Update(bytes, length);
  Sha256Digest digest{};
  hash.Final(&digest);
  return digest;
}

}  // namespace

uint64_t RecoveryHeaderBytes(uint64_t dataCount) { return kFixedBytes + dataCount * kPieceEntryBytes + 64; }

std::string FormatRecoveryHeader(const RecoveryHeader& header) {
  std::string text(kMagic, sizeof kMagic);
  for (uint32_t word : {kVersion, header.code, header.dataCount, header.recoveryCount, header.index, 0u}) {
    PutNumber(&text, word, 4);
  }
  PutNumber(&text, header.pieceLength, 8);
  for (uint32_t k = 0; k < header.dataCount; ++k) {
    PutNumber(&text, header.sizes[k], 8);
    text.append(reinterpret_cast<const char*>(header.digests[k].data()), 32);
  }
  text.append(reinterpret_cast<const char*>(header.whole.data()), 32);
  const Sha256Digest own = DigestOf(text.data(), text.size());
  text.append(reinterpret_cast<const char*>(own.data()), 32);
  return text;
}

bool ReadRecoveryHeader(FileHandle file, RecoveryHeader* header) {
  std::string bytes(kFixedBytes, '\0');
  unsigned char* at = reinterpret_cast<unsigned char*>(&bytes[0]);
  size_t got = 0;
  if (ReadFull(file, at, kFixedBytes, &got) != kNoError || got != kFixedBytes) return false;
  if (std::memcmp(at, kMagic, sizeof kMagic) != 0 || GetNumber(at + 8, 4) != kVersion) return false;
  header->code = static_cast<uint32_t>(GetNumber(at + 12, 4));
  header->dataCount = static_cast<uint32_t>(GetNumber(at + 16, 4));
  header->recoveryCount = static_cast<uint32_t>(GetNumber(at + 20, 4));
  header->index = static_cast<uint32_t>(GetNumber(at + 24, 4));
  header->pieceLength = GetNumber(at + 32, 8);
  const uint64_t n = header->dataCount;
  if (header->code != kCauchyCode || n == 0 || header->recoveryCount == 0 ||
      n + header->recoveryCount > 256 || header->index == 0 || header->index > header->recoveryCount) {
    return false;
  }
  const size_t rest = static_cast<size_t>(RecoveryHeaderBytes(n) - kFixedBytes);
  bytes.resize(kFixedBytes + rest);
  at = reinterpret_cast<unsigned char*>(&bytes[0]);
  if (ReadFull(file, at + kFixedBytes, rest, &got) != kNoError || got != rest) return false;
  const size_t described = bytes.size() - 32;
  if (std::memcmp(DigestOf(at, described).data(), at + described, 32) != 0) return false;
  header->sizes.clear();
  header->digests.clear();
  uint64_t longest = 0;
  for (uint64_t k = 0; k < n; ++k) {
    const unsigned char* entry = at + kFixedBytes + k * kPieceEntryBytes;
    header->sizes.push_back(GetNumber(entry, 8));
    header->digests.emplace_back();
    std::memcpy(header->digests.back().data(), entry + 8, 32);
    longest = std::max(longest, header->sizes.back());
  }
  std::memcpy(header->whole.data(), at + kFixedBytes + n * kPieceEntryBytes, 32);
  return longest == header->pieceLength;
}

uint64_t RecoveryNumberOf(const std::string& fileName, const std::string& stemName) {
  // "STEM.r7" is read as the piece name "STEM.7", stem matched as pieces are.
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot + 1 >= fileName.size() || fileName[dot + 1] != 'r') return 0;
  return PieceNumberOf(fileName.substr(0, dot + 1) + fileName.substr(dot + 2), stemName);
}

namespace {

struct RecoveryListing {
  std::string stemName;
  uint64_t highest = 0;
};

void NoteRecovery(const std::string& name, uint64_t, void* context) {
  RecoveryListing& listing = *static_cast<RecoveryListing*>(context);
  listing.highest = std::max(listing.highest, RecoveryNumberOf(name, listing.stemName));
}

}  // namespace

SystemError FindRecoveryPieces(const std::string& dir, const std::string& stemName, uint64_t* highest) {
  RecoveryListing listing{stemName, 0};
  SystemError error = ListFolder(dir.empty() ? "." : dir, NoteRecovery, &listing);
  *highest = listing.highest;
  return error;
}

SystemError ReadFull(FileHandle file, unsigned char* buffer, size_t length, size_t* got) {
  *got = 0;
  while (*got < length) {
    size_t some = 0;
    SystemError error = ReadSome(file, buffer + *got, length - *got, &some);
    if (error != kNoError) return error;
    if (some == 0) break;
    *got += some;
  }
  return kNoError;
}

namespace {

// The hashes of a pass's rows (the inputs hashed, then the outputs), and
// the bytes each has in the column at hand. The thread beside hashes a
// range of them while the caller goes on: the inputs as soon as they are
// read, while the caller codes and writes, which then hashes the outputs
// itself; or, where the inputs are not hashed, the outputs while the
// caller reads the next column.
struct ColumnHash {
  ColumnHash() = default;
  ColumnHash(const ColumnHash&) = delete;
  ColumnHash& operator=(const ColumnHash&) = delete;
  ~ColumnHash() { WaitBeside(&task); }
  std::vector<std::unique_ptr<Sha256>> hashes;
  std::vector<const unsigned char*> bytes;
  std::vector<size_t> lengths;
  size_t from = 0, to = 0;  // the range beside
  BesideTask task;
};

void HashRange(ColumnHash& column, size_t from, size_t to) {
  for (size_t k = from; k < to; ++k) column.hashes[k]->Update(column.bytes[k], column.lengths[k]);
}

void HashBesideRange(void* context) {
  ColumnHash& column = *static_cast<ColumnHash*>(context);
  HashRange(column, column.from, column.to);
}

void StartHashRange(ColumnHash& column, size_t from, size_t to) {
  column.from = from;
  column.to = to;
  if (!StartBeside(HashBesideRange, &column, &column.task)) HashRange(column, from, to);
}

size_t ChunkOf(uint64_t rowLength, size_t buffers) {
  size_t chunk = std::min(kLargestChunk, std::max(kSmallestChunk, kPassBytes / buffers) / kSmallestChunk * kSmallestChunk);
  return static_cast<size_t>(std::min<uint64_t>(chunk, std::max<uint64_t>(rowLength, 1)));
}

// The bytes of a row that fall in the column from `done`: none past its end.
size_t BytesIn(uint64_t rowBytes, uint64_t done, size_t length) {
  return static_cast<size_t>(std::min<uint64_t>(length, rowBytes - std::min(done, rowBytes)));
}

void StartHashes(ColumnHash& column, const std::vector<std::string>& prefixes, size_t count) {
  for (size_t k = 0; k < count; ++k) {
    column.hashes.emplace_back(new Sha256);
    if (k < prefixes.size()) column.hashes.back()->Update(prefixes[k].data(), prefixes[k].size());
  }
  column.bytes.assign(column.hashes.size(), nullptr);
  column.lengths.assign(column.hashes.size(), 0);
}

bool FinishHashes(ColumnHash& column, size_t from, size_t count, std::vector<Sha256Digest>* digests) {
  digests->assign(count, Sha256Digest{});
  for (size_t k = 0; k < count; ++k) {
    if (!column.hashes[from + k]->Final(&(*digests)[k])) return false;
  }
  return true;
}

// The blocks of a pass: one per row and turn, but a single one for inputs
// that are not hashed, which nothing reads once the column is coded.
struct PassBlocks {
  std::vector<std::unique_ptr<unsigned char[]>> owned;
  std::vector<unsigned char*> in[2], out[2];
};

void MakeBlocks(size_t inputs, size_t hashedInputs, size_t outputs, size_t chunk, PassBlocks* blocks) {
  for (size_t turn = 0; turn < 2; ++turn) {
    for (size_t k = 0; k < inputs + outputs; ++k) {
      const bool input = k < inputs;
      if (input && turn == 1 && k >= hashedInputs) {
        blocks->in[1].push_back(blocks->in[0][k]);
        continue;
      }
      blocks->owned.emplace_back(new unsigned char[chunk]);
      (input ? blocks->in[turn] : blocks->out[turn]).push_back(blocks->owned.back().get());
    }
  }
}

PassOutcome ReadColumn(const std::vector<PassInput>& inputs, uint64_t done, size_t length, unsigned char* const* in) {
  for (size_t k = 0; k < inputs.size(); ++k) {
    const size_t wanted = BytesIn(inputs[k].bytes, done, length);
    size_t got = 0;
    SystemError error = ReadFull(inputs[k].file, in[k], wanted, &got);
    if (error != kNoError) return PassOutcome{PassEnd::kReadFailed, k, error};
    if (got != wanted) return PassOutcome{PassEnd::kEndedEarly, k, kNoError};
    std::memset(in[k] + wanted, 0, length - wanted);
  }
  return PassOutcome();
}

void NoteInputs(const std::vector<PassInput>& inputs, uint64_t done, size_t length, unsigned char* const* in,
                size_t hashedInputs, ColumnHash& column) {
  for (size_t k = 0; k < hashedInputs; ++k) {
    column.bytes[k] = in[k];
    column.lengths[k] = BytesIn(inputs[k].bytes, done, length);
  }
}

// The column's outputs, and the inputs' copies, written; the outputs'
// bytes noted for their hashes.
PassOutcome WriteColumn(const std::vector<PassInput>& inputs, const std::vector<PassOutput>& outputs, uint64_t done,
                        size_t length, unsigned char* const* in, unsigned char* const* out, size_t hashedInputs,
                        ColumnHash& column) {
  for (size_t k = 0; k < inputs.size(); ++k) {
    const size_t wanted = BytesIn(inputs[k].bytes, done, length);
    if (inputs[k].copy.value == kNoHandle || wanted == 0) continue;
    SystemError error = WriteAllAt(inputs[k].copy, inputs[k].copyAt + done, in[k], wanted);
    if (error != kNoError) return PassOutcome{PassEnd::kCopyFailed, k, error};
  }
  for (size_t k = 0; k < outputs.size(); ++k) {
    const PassOutput& output = outputs[k];
    const size_t wanted = BytesIn(output.bytes, done, length);
    column.bytes[hashedInputs + k] = out[k];
    column.lengths[hashedInputs + k] = wanted;
    SystemError error = kNoError;
    if (output.file.value != kNoHandle && output.placed && wanted > 0) {
      error = WriteAllAt(output.file, output.at + done, out[k], wanted);
    } else if (output.file.value != kNoHandle && !output.placed) {
      error = WriteAll(output.file, out[k], wanted);
    }
    if (error != kNoError) return PassOutcome{PassEnd::kWriteFailed, k, error};
  }
  return PassOutcome();
}

}  // namespace

PassOutcome RunColumnPass(uint64_t rowLength, const std::vector<PassInput>& inputs,
                          const std::vector<PassOutput>& outputs, ColumnCode code, const void* context,
                          PassWork* work) {
  // Rows hashed are read or filled into two blocks, turn about: one is
  // hashed while the other takes the next column.
  const size_t hashedInputs = std::min(work->hashedInputs, inputs.size());
  const size_t chunk = ChunkOf(rowLength, inputs.size() + hashedInputs + 2 * outputs.size());
  PassBlocks blocks;
  MakeBlocks(inputs.size(), hashedInputs, outputs.size(), chunk, &blocks);
  ColumnHash column;  // after the blocks, so that it is waited for before they go
  const size_t hashed = hashedInputs + outputs.size();
  StartHashes(column, std::vector<std::string>(), hashedInputs);
  StartHashes(column, work->outputPrefixes, outputs.size());
  size_t turn = 0;
  for (uint64_t done = 0; done < rowLength; done += chunk, turn ^= 1) {
    if (StopRequested()) return PassOutcome{PassEnd::kStopped, 0, kNoError};
    const size_t length = static_cast<size_t>(std::min<uint64_t>(chunk, rowLength - done));
    PassOutcome outcome = ReadColumn(inputs, done, length, blocks.in[turn].data());
    if (outcome.end != PassEnd::kDone) return outcome;
    // The blocks hashed two columns ago are free once the last column's are.
    WaitBeside(&column.task);
    NoteInputs(inputs, done, length, blocks.in[turn].data(), hashedInputs, column);
    if (hashedInputs > 0) StartHashRange(column, 0, hashedInputs);
    if (!code(context, length, blocks.in[turn].data(), blocks.out[turn].data())) {
      return PassOutcome{PassEnd::kCodeFailed, 0, kNoError};
    }
    outcome = WriteColumn(inputs, outputs, done, length, blocks.in[turn].data(), blocks.out[turn].data(),
                          hashedInputs, column);
    if (outcome.end != PassEnd::kDone) return outcome;
    if (hashedInputs > 0) HashRange(column, hashedInputs, hashed);
    if (hashedInputs == 0) StartHashRange(column, 0, hashed);
    if (work->tell != nullptr) work->tell(done + length, work->tellContext);
  }
  WaitBeside(&column.task);
  if (!FinishHashes(column, hashedInputs, outputs.size(), &work->outputDigests)) {
    return PassOutcome{PassEnd::kCodeFailed, 0, kNoError};
  }
  if (!FinishHashes(column, 0, hashedInputs, &work->inputDigests)) {
    return PassOutcome{PassEnd::kCodeFailed, 0, kNoError};
  }
  return PassOutcome();
}

namespace {

bool EncodeColumn(const void* context, size_t length, const unsigned char* const* in, unsigned char* const* out) {
  static_cast<const RecoveryCode*>(context)->Encode(length, in, out);
  return true;
}

bool PieceFails(StopReason* stop, Operation operation, const std::string& name, SystemError code) {
  *stop = Failure(Role::kPiece, operation, name, code);
  return false;
}

}  // namespace

bool WriteRecoveryPieces(PieceSet& pieces, uint32_t recoveryCount, const std::string& targetDir, StopReason* stop) {
  const uint64_t n = pieces.count();
  const std::string stem = pieces.Name(1).substr(0, pieces.Name(1).size() - 2);
  RecoveryCode code;
  if (!code.Init(static_cast<uint32_t>(std::min<uint64_t>(n, kMaxCodedPieces)), recoveryCount) || n > kMaxCodedPieces) {
    *stop = StopReason{StopKind::kRecoveryTooMany, pieces.Name(1), static_cast<SystemError>(n + recoveryCount)};
    return false;
  }
  RecoveryHeader header;
  header.dataCount = static_cast<uint32_t>(n);
  header.recoveryCount = recoveryCount;
  header.sizes = pieces.sizes();
  header.digests = pieces.digests();
  for (uint64_t size : header.sizes) header.pieceLength = std::max(header.pieceLength, size);
  if (!pieces.WholeDigest(&header.whole)) return PieceFails(stop, Operation::kRead, pieces.Name(1), kNoError);
  SystemError query = kNoError;
  const uint64_t bytes = recoveryCount * (header.pieceLength + RecoveryHeaderBytes(n));
  if (CheckFreeSpace(targetDir, bytes, &query) == 0) {
    *stop = query != kNoError ? Failure(Role::kFolder, Operation::kStat, targetDir, query)
                              : StopReason{StopKind::kNoFreeSpace, targetDir};
    return false;
  }
  std::unique_ptr<FileSlot[]> inputs(new FileSlot[n]);
  std::vector<PassInput> rows;
  for (uint64_t k = 0; k < n; ++k) {
    bool notRegular = false;
    SystemError error = OpenRegularFile(pieces.WrittenPath(k + 1), inputs[k].Receive(), &notRegular);
    if (error != kNoError) return PieceFails(stop, Operation::kOpen, pieces.Name(k + 1), error);
    rows.push_back(PassInput{inputs[k].Get(), header.sizes[k], FileHandle(), 0});
  }
  NewFiles outputs;
  outputs.files.reset(new FileSlot[recoveryCount]);
  std::vector<PassOutput> written;
  PassWork work;
  for (uint32_t j = 1; j <= recoveryCount; ++j) {
    const std::string name = MakeRecoveryName(stem, j);
    header.index = j;
    work.outputPrefixes.push_back(FormatRecoveryHeader(header));
    outputs.paths.push_back(pieces.BesideTemporaryPath(RecoveryWhat(j)));
    SystemError error = CreateNewFile(outputs.paths.back(), outputs.files[j - 1].Receive());
    if (error != kNoError) {
      outputs.paths.pop_back();
      return PieceFails(stop, Operation::kCreate, name, error);
    }
    error = WriteAll(outputs.files[j - 1].Get(), work.outputPrefixes.back().data(),
                     work.outputPrefixes.back().size());
    if (error != kNoError) return PieceFails(stop, Operation::kWrite, name, error);
    written.push_back(PassOutput{outputs.files[j - 1].Get(), header.pieceLength, false, 0});
  }
  const PassOutcome outcome = RunColumnPass(header.pieceLength, rows, written, EncodeColumn, &code, &work);
  const std::string inputName = pieces.Name(outcome.at + 1);
  const std::string outputName = MakeRecoveryName(stem, outcome.at + 1);
  switch (outcome.end) {
    case PassEnd::kDone: break;
    case PassEnd::kStopped: *stop = StopReason{StopKind::kInterrupted, pieces.Name(1)}; return false;
    case PassEnd::kReadFailed: return PieceFails(stop, Operation::kRead, inputName, outcome.code);
    case PassEnd::kEndedEarly: *stop = StopReason{StopKind::kPieceChanged, inputName}; return false;
    case PassEnd::kCopyFailed:  // the pieces are not copied anywhere
    case PassEnd::kWriteFailed: return PieceFails(stop, Operation::kWrite, outputName, outcome.code);
    case PassEnd::kCodeFailed: return PieceFails(stop, Operation::kWrite, outputName, kNoError);
  }
  for (uint32_t j = 0; j < recoveryCount; ++j) {
    SystemError error = outputs.files[j].Release();
    if (error != kNoError) return PieceFails(stop, Operation::kWrite, MakeRecoveryName(stem, j + 1), error);
  }
  for (uint64_t k = 0; k < n; ++k) inputs[k].Release();
  outputs.kept = true;
  pieces.AddRecovery(work.outputDigests);
  return true;
}
