#include "repair_job.h"

#include <new>
#include <vector>

#include "folder_lock.h"
#include "naming.h"
#include "rebuild.h"
#include "recovery_pieces.h"
#include "set_change.h"
#include "text_format.h"

namespace {

// "5" for data piece 5, "r2" for recovery piece 2: the set's names of the rows.
std::string WhatOfRow(const CodedSet& set, uint32_t row) {
  return row < set.dataCount ? DecimalText(row + 1) : RecoveryWhat(row - set.dataCount + 1);
}

bool Refuse(StopReason* stop, StopKind kind, const std::string& path) {
  *stop = StopReason{kind, path};
  return false;
}

bool Repair(const RepairRequest& request, FolderLock& lock, JobReport& report, std::string* rebuilt,
            std::vector<std::string>* made, StopReason* stop) {
  std::string stem;
  if (IsFirstPiecePath(request.path)) stem = request.path.substr(0, request.path.size() - 2);
  else if (!StemOfSetFile(request.path, &stem)) return Refuse(stop, StopKind::kNotFirstPiece, request.path);
  const PieceSetName name = SplitFirstPiecePath(MakePieceName(stem, "1"));
  if (!SettleUnfinishedChange(stem, false, report, stop)) return false;
  // Alone in the folder: the set is read and renamed with nobody between.
  if (!lock.Take(name.pieceDir.empty() ? "." : name.pieceDir, LockMode::kExclusive, stop)) return false;
  if (!SettleUnfinishedChangeLocked(stem, report, stop)) return false;
  CodedSet set;
  bool coded = false;
  if (!ReadCodedSet(name.pieceDir, name.stemName, &set, &coded, stop)) return false;
  if (!coded) return Refuse(stop, StopKind::kNoRecoveryPieces, stem);
  if (!CheckCodedSet(&set, true, stop)) return false;
  const std::vector<uint32_t> lost = LostRows(set, true);
  if (lost.empty()) return true;
  if (!RefuseTooManyLost(set, lost, stop)) return false;
  SetChange change(stem, MakeRunTag());
  std::vector<std::string> paths;
  for (uint32_t row : lost) paths.push_back(change.TemporaryPath(WhatOfRow(set, row)));
  std::vector<FileIdentity> ids;
  if (!RebuildRows(set, lost, paths, &ids, stop)) return false;
  *made = paths;
  for (size_t k = 0; k < lost.size(); ++k) {
    ChangedName changed{WhatOfRow(set, lost[k]), true, ids[k], false, FileIdentity()};
    // A link is replaced, never kept, as the split's commit does.
    changed.old = GetNameIdentity(RowPath(set, lost[k]), &changed.oldId) == kNoError && !changed.oldId.link;
    change.Add(std::move(changed));
  }
  if (!change.Commit(stop)) return false;
  made->clear();
  *rebuilt = RowNames(set, lost);
  return true;
}

}  // namespace

JobResult PerformRepairJob(const RepairRequest& request, JobReport& report, std::string* rebuilt) {
  FolderLock lock{report};
  std::vector<std::string> made;  // rebuilt files not yet given their names
  JobResult result;
  try {
    result.end = Repair(request, lock, report, rebuilt, &made, &result.reason) ? JobEnd::kFinished : JobEnd::kStopped;
  } catch (const std::bad_alloc&) {
    result = JobResult{JobEnd::kStopped, StopReason{StopKind::kLowMemory, std::string()}};
  }
  for (const std::string& path : made) RemoveFile(path);
  lock.Release();
  return result;
}
