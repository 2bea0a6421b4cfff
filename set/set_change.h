// A set replaced all or nothing. Before the first rename a record of the
// change (STEM.dvjournal) is written and synced; each old file is moved to
// a name of the run's own (".dvkeep") before its new one takes its name;
// the kept files and then the record go at the end. A failure puts the old
// set back; a run that dies on the way leaves the record, from which the
// next run that touches the set finishes the change or undoes it.
#ifndef DORVENAL_SET_CHANGE_H
#define DORVENAL_SET_CHANGE_H

#include <string>
#include <utility>
#include <vector>

#include "job_report.h"
#include "job_result.h"
#include "platform.h"

// One name of the set that the change gives a new file, or empties.
struct ChangedName {
  std::string what;  // "1", "2", ... for the pieces; "sha256", "bat", "sh"
  bool fresh = false;  // a new file, now at the run's temporary name, takes the name
  FileIdentity freshId;
  bool old = false;  // a file stood at the name when the change began
  FileIdentity oldId;
};

class SetChange {
 public:
  // `stem` is the set's path without the piece number (out/report_doc).
  SetChange(const std::string& stem, const std::string& runTag);

  void Reserve(size_t names) { names_.reserve(names); }
  void Add(ChangedName&& name) { names_.push_back(std::move(name)); }
  // The record, the renames, the end. On a failure the old set is back and
  // the stop names the cause; when putting it back failed too, the stop also
  // names that file (otherPath, otherCode) and the record stays.
  bool Commit(StopReason* stop);

  // The final name of `what`, and its temporary name and kept name.
  std::string FinalPath(const ChangedName& name) const;
  // The same without its folder.
  std::string FinalName(const ChangedName& name) const;
  std::string TemporaryPath(const std::string& what) const;
  std::string KeptPath(const std::string& what) const;

  // Read back from a record. False for a record that is not whole (a run
  // that died while writing it renamed nothing).
  bool Read(const std::string& text);
  // Writes the record that Read reads back.
  SystemError WriteRecord(FileHandle file) const;

  // Undoes what the files there say was done: kept files back to their
  // names, new files taken away; the run's temporary files are removed
  // when `temporaries`. False, with the file and code, when one could not
  // be put back.
  bool Undo(bool temporaries, std::string* notBack, SystemError* code) const;
  // Whether every new file has its name and every old one is gone from it.
  bool AllNamed() const;
  // Removes the kept files; false with the first that could not be.
  bool DropKept(std::string* left, SystemError* code) const;

  const std::string& journal() const { return journal_; }

 private:
  bool WriteJournal(StopReason* stop);
  bool Named(const ChangedName& name) const;
  // The old file of a name that the change replaces or empties, kept aside.
  SystemError MoveOldAside(const ChangedName& name) const;

  std::string stem_;
  std::string stemName_;  // the stem without its folder
  std::string dir_;
  std::string runTag_;
  std::string journal_;
  std::vector<ChangedName> names_;
};

// What the file `what` is to the set.
Role RoleOfBeside(const std::string& what);

// Before a run reads or replaces the set `stem`: a change of it that a run
// left unfinished is finished or undone under the folder's lock, and the
// report told which. A dry run, which changes nothing, refuses instead.
bool SettleUnfinishedChange(const std::string& stem, bool dryRun, JobReport& report, StopReason* stop);
// The same for a caller that holds the folder's lock.
bool SettleUnfinishedChangeLocked(const std::string& stem, JobReport& report, StopReason* stop);
// For a check that changes nothing: refuses while a change is unfinished.
bool RefuseUnfinishedChange(const std::string& stem, StopReason* stop);

#endif
