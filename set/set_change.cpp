#include "set_change.h"

#include <charconv>
#include <cstdlib>

#include "folder_lock.h"
#include "batch_file.h"
#include "script_file.h"
#include "naming.h"
#include "slots.h"
#include "text_format.h"

namespace {

constexpr char kJournalHead[] = "dorvenal set change 1";
constexpr char kJournalEnd[] = "end";

// The folder of a stem, as the names in it are made: "." for a bare stem.
std::string FolderOf(const std::string& stem) {
  const std::string dir = stem.substr(0, stem.size() - SourceFileName(stem).size());
  return dir.empty() ? std::string(".") : dir;
}

bool IsDigits(const std::string& text) {
  return !text.empty() && text.size() <= 9 && text[0] != '0' && text.find_first_not_of("0123456789") == std::string::npos;
}

// A record names only files of the set: a piece number or one of the files beside.
bool IsKnownWhat(const std::string& what) {
  const bool recovery = what.size() > 1 && what[0] == 'r' && IsDigits(what.substr(1));
  return IsDigits(what) || recovery || what == "sha256" || what == "bat" || what == "sh";
}

// A run tag as MakeRunTag makes it: nothing that could lead out of the folder.
bool IsRunTag(const std::string& tag) {
  return tag.size() > 3 && tag.compare(0, 3, "~dv") == 0 &&
         tag.find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz-", 3) == std::string::npos;
}

// " 1 VOLUME INDEX SIZE", or " 0 0 0 0" for no file: a record has a line
// of these for every piece, so they are written straight into it.
void AppendIdentity(bool present, const FileIdentity& id, std::string* text) {
  if (!present) {
    *text += " 0 0 0 0";
    return;
  }
  char digits[3 * 21 + 3];
  char* at = digits;
  *at++ = ' ';
  *at++ = '1';
  for (uint64_t number : {id.volume, id.index, id.size}) {
    *at++ = ' ';
    at = std::to_chars(at, digits + sizeof digits, number).ptr;
  }
  text->append(digits, at);
}

// Splits a line at its blanks.
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  for (size_t from = 0; from < line.size();) {
    size_t end = line.find(' ', from);
    if (end == std::string::npos) end = line.size();
    if (end > from) words.push_back(line.substr(from, end - from));
    from = end + 1;
  }
  return words;
}

bool ParseNumber(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  *value = std::strtoull(text.c_str(), nullptr, 10);
  return true;
}

bool ParseIdentity(const std::vector<std::string>& words, size_t at, bool* present, FileIdentity* id) {
  uint64_t flag = 0;
  if (!ParseNumber(words[at], &flag) || flag > 1 || !ParseNumber(words[at + 1], &id->volume) ||
      !ParseNumber(words[at + 2], &id->index) || !ParseNumber(words[at + 3], &id->size)) {
    return false;
  }
  *present = flag == 1;
  return true;
}

SystemError ReadWholeFile(const std::string& path, std::string* text) {
  FileSlot file;
  bool notRegular = false;
  SystemError error = OpenRegularFile(path, file.Receive(), &notRegular);
  if (error != kNoError) return error;
  char block[65536];
  for (;;) {
    size_t got = 0;
    error = ReadSome(file.Get(), block, sizeof block, &got);
    if (error != kNoError || got == 0) break;
    text->append(block, got);
  }
  const SystemError closed = file.Release();
  return error != kNoError ? error : closed;
}

// Why the new file could not take its name, in the words each kind had.
StopReason RenameCause(const std::string& what, const std::string& path, SystemError error) {
  return Failure(RoleOfBeside(what), Operation::kRename, path, error);
}

}  // namespace

Role RoleOfBeside(const std::string& what) {
  if (what == "sha256") return Role::kManifest;
  if (what == "bat") return Role::kBatch;
  if (what == "sh") return Role::kScript;
  return Role::kPiece;
}

SetChange::SetChange(const std::string& stem, const std::string& runTag)
    : stem_(stem), stemName_(SourceFileName(stem)), dir_(FolderOf(stem)), runTag_(runTag), journal_(MakeJournalName(stem)) {}

std::string SetChange::FinalPath(const ChangedName& name) const {
  if (name.what == "sha256") return MakeManifestName(stem_);
  if (name.what == "bat") return JoinPath(dir_, kJoinBatchName);
  if (name.what == "sh") return JoinPath(dir_, kJoinScriptName);
  return MakePieceName(stem_, name.what);
}

std::string SetChange::FinalName(const ChangedName& name) const {
  // A piece's name is made without its folder: a set has thousands of them.
  if (IsDigits(name.what)) return MakePieceName(stemName_, name.what);
  return SourceFileName(FinalPath(name));
}

std::string SetChange::TemporaryPath(const std::string& what) const { return MakeTemporaryPath(dir_, runTag_, what); }

std::string SetChange::KeptPath(const std::string& what) const { return MakeKeptPath(dir_, runTag_, what); }

SystemError SetChange::WriteRecord(FileHandle file) const {
  // Written a block at a time: a set of many pieces has a long record.
  constexpr size_t kBlock = size_t{64} << 10;
  std::string text;
  text.reserve(kBlock + 256);
  text.append(kJournalHead).append(1, '\n').append(runTag_).append(1, '\n');
  for (const ChangedName& name : names_) {
    text += name.what;
    AppendIdentity(name.fresh, name.freshId, &text);
    AppendIdentity(name.old, name.oldId, &text);
    text += '\n';
    if (text.size() < kBlock) continue;
    if (SystemError error = WriteAll(file, text.data(), text.size())) return error;
    text.clear();
  }
  text.append(kJournalEnd).append(1, '\n');
  return WriteAll(file, text.data(), text.size());
}

bool SetChange::Read(const std::string& text) {
  names_.clear();
  size_t from = 0;
  size_t lineNumber = 0;
  bool ended = false;
  for (size_t end; !ended && (end = text.find('\n', from)) != std::string::npos; from = end + 1, ++lineNumber) {
    const std::string line = text.substr(from, end - from);
    if (lineNumber == 0 && line != kJournalHead) return false;
    if (lineNumber == 1 && !IsRunTag(runTag_ = line)) return false;
    if (lineNumber < 2) continue;
    if (line == kJournalEnd) {
      ended = true;
      continue;
    }
    const std::vector<std::string> words = Words(line);
    ChangedName name;
    if (words.size() != 9 || !IsKnownWhat(name.what = words[0]) || !ParseIdentity(words, 1, &name.fresh, &name.freshId) ||
        !ParseIdentity(words, 5, &name.old, &name.oldId)) {
      return false;
    }
    names_.push_back(name);
  }
  return ended && from == text.size();
}

bool SetChange::WriteJournal(StopReason* stop) {
  FileSlot file;
  SystemError error = CreateNewFile(journal_, file.Receive());
  if (error != kNoError) {
    *stop = Failure(Role::kJournal, Operation::kCreate, journal_, error);
    return false;
  }
  Operation failed = Operation::kWrite;
  error = WriteRecord(file.Get());
  // Synced once, with its folder's entry: after a power loss the record
  // is there whenever a rename it describes is.
  if (error == kNoError) failed = Operation::kSync, error = SyncFile(file.Get());
  const SystemError closed = file.Release();
  if (error == kNoError) failed = Operation::kWrite, error = closed;
  if (error == kNoError) failed = Operation::kSync, error = SyncFolder(dir_);
  if (error == kNoError) return true;
  RemoveFile(journal_);
  *stop = Failure(Role::kJournal, failed, journal_, error);
  return false;
}

SystemError SetChange::MoveOldAside(const ChangedName& name) const {
  const std::string final = FinalPath(name);
  SystemError error = KeepAside(final, KeptPath(name.what));
  // Kept as a second name, the old file still stands at a name that no new one takes.
  FileIdentity there;
  if (error == kNoError && !name.fresh && GetNameIdentity(final, &there) == kNoError) error = RemoveFile(final);
  return error;
}

bool SetChange::Commit(StopReason* stop) {
  if (!WriteJournal(stop)) return false;
  // Held for the renames, which the record's folder names; not held, they go by path.
  FolderSlot folder;
  OpenFolder(dir_, folder.Receive());
  bool failed = false;
  for (const ChangedName& name : names_) {
    SystemError error = name.old ? MoveOldAside(name) : kNoError;
    if (error != kNoError) {
      *stop = Failure(Role::kBackup, Operation::kRename, FinalPath(name), error);
      failed = true;
      break;
    }
    error = name.fresh ? RenameIn(folder.Get(), dir_, MakeTemporaryName(runTag_, name.what), FinalName(name)) : kNoError;
    if (error != kNoError) {
      *stop = RenameCause(name.what, FinalPath(name), error);
      failed = true;
      break;
    }
  }
  if (failed) {
    // The temporary files are the caller's: it removes those not named.
    if (Undo(false, &stop->otherPath, &stop->otherCode)) RemoveFile(journal_);
    return false;
  }
  std::string left;
  SystemError error = kNoError;
  if (!DropKept(&left, &error)) {
    *stop = Failure(Role::kBackup, Operation::kRemove, left, error);
    return false;
  }
  error = RemoveFile(journal_);
  if (error == kNoError) return true;
  *stop = Failure(Role::kJournal, Operation::kRemove, journal_, error);
  return false;
}

bool SetChange::Named(const ChangedName& name) const {
  FileIdentity now;
  const bool there = GetNameIdentity(FinalPath(name), &now) == kNoError;
  if (name.fresh) return there && now == name.freshId;
  return !(there && name.old && now == name.oldId);
}

bool SetChange::AllNamed() const {
  for (const ChangedName& name : names_) {
    if (!Named(name)) return false;
  }
  return true;
}

bool SetChange::Undo(bool temporaries, std::string* notBack, SystemError* code) const {
  bool whole = true;
  for (auto name = names_.rbegin(); name != names_.rend(); ++name) {
    const std::string final = FinalPath(*name), kept = KeptPath(name->what);
    FileIdentity keptId, finalId;
    const SystemError keptError = name->old ? GetNameIdentity(kept, &keptId) : kNoError;
    const bool finalThere = GetNameIdentity(final, &finalId) == kNoError;
    const bool freshThere = name->fresh && finalThere && finalId == name->freshId;
    SystemError error = kNoError;
    if (name->old && keptError == kNoError) {
      // Kept as a second name, the old file may still have its own: a move of
      // one name of a file onto another leaves both.
      error = finalThere && finalId == keptId ? RemoveFile(kept) : RenameReplacing(kept, final);
    } else if (freshThere) {
      // A new file at a name whose old file is gone cannot be undone.
      error = name->old ? keptError : RemoveFile(final);
    }
    if (error != kNoError && whole) *notBack = final, *code = error;
    whole = whole && error == kNoError;
    if (temporaries && name->fresh) RemoveFile(TemporaryPath(name->what));
  }
  return whole;
}

bool SetChange::DropKept(std::string* left, SystemError* code) const {
  for (const ChangedName& name : names_) {
    if (!name.old) continue;
    const std::string kept = KeptPath(name.what);
    // Looked for only when the removal fails: a second run finds some gone.
    FileIdentity id;
    const SystemError error = RemoveFile(kept);
    if (error != kNoError && GetNameIdentity(kept, &id) == kNoError) {
      *left = kept, *code = error;
      return false;
    }
  }
  return true;
}

bool RefuseUnfinishedChange(const std::string& stem, StopReason* stop) {
  uint64_t size = 0;
  const std::string journal = MakeJournalName(stem);
  if (!FindFileExact(journal, &size)) return true;
  *stop = StopReason{StopKind::kUnfinishedChange, journal};
  return false;
}

bool SettleUnfinishedChangeLocked(const std::string& stem, JobReport& report, StopReason* stop) {
  const std::string journal = MakeJournalName(stem);
  uint64_t size = 0;
  if (!FindFileExact(journal, &size)) return true;
  std::string text;
  SystemError error = ReadWholeFile(journal, &text);
  if (error != kNoError) {
    *stop = Failure(Role::kJournal, Operation::kRead, journal, error);
    return false;
  }
  SetChange change(stem, std::string());
  const bool whole = change.Read(text);
  // A record cut short: its run died before the first rename.
  const bool cut = !whole && text.compare(0, sizeof kJournalHead - 1, kJournalHead) == 0 &&
                   text.find(std::string("\n") + kJournalEnd + "\n") == std::string::npos;
  if (!whole && !cut) {
    *stop = StopReason{StopKind::kUnfinishedChange, journal};
    return false;
  }
  const bool forward = whole && change.AllNamed();
  std::string notDone;
  if (forward && !change.DropKept(&notDone, &error)) {
    *stop = Failure(Role::kBackup, Operation::kRemove, notDone, error);
    return false;
  }
  if (!forward && whole && !change.Undo(true, &notDone, &error)) {
    *stop = Failure(Role::kBackup, Operation::kRename, notDone, error);
    return false;
  }
  error = RemoveFile(journal);
  if (error != kNoError) {
    *stop = Failure(Role::kJournal, Operation::kRemove, journal, error);
    return false;
  }
  report.Warn(Warning{forward ? WarningKind::kChangeFinished : WarningKind::kChangeUndone, stem});
  return true;
}

bool SettleUnfinishedChange(const std::string& stem, bool dryRun, JobReport& report, StopReason* stop) {
  uint64_t size = 0;
  if (!FindFileExact(MakeJournalName(stem), &size)) return true;
  if (dryRun) return RefuseUnfinishedChange(stem, stop);
  // Exclusively: no other run may read or change the set meanwhile.
  FolderLock lock(report);
  if (!lock.Take(FolderOf(stem), LockMode::kExclusive, stop)) return false;
  const bool settled = SettleUnfinishedChangeLocked(stem, report, stop);
  lock.Release();
  return settled;
}
