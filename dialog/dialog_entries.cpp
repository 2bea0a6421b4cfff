#include "dialog_entries.h"

#include "join_job.h"
#include "resource_ids.h"
#include "session_state.h"
#include "split_job.h"
#include "texts.h"

void DialogReport::ShowInfo(const std::string& text) { ShowInfoBox(dialog_, text); }

BoxAnswer DialogReport::AskYesNo(const std::string& text) { return ::AskYesNo(dialog_, text); }

void DialogReport::SetProgressRange(uint32_t minimum, uint32_t maximum) {
  ::SetProgressRange(dialog_, minimum, maximum);
}

void DialogReport::SetProgressStep(uint32_t step) { ::SetProgressStep(dialog_, step); }

void DialogReport::SetProgressPos(uint32_t position) { ::SetProgressPos(dialog_, position); }

void DialogReport::EnableButtons(bool enable) {
  EnableControl(dialog_, IDOK, enable);
  EnableControl(dialog_, IDCANCEL, enable);
}

void DialogReport::Focus(RequestField field) {
  switch (field) {
    case RequestField::kSource: return FocusControl(dialog_, IDC_SOURCE_BROWSE);
    case RequestField::kTarget: return FocusControl(dialog_, IDC_TARGET_BROWSE);
    case RequestField::kValue: return FocusControl(dialog_, IDC_VALUE);
  }
}

namespace {

// A field left empty: its message, and the focus where the user can mend it.
struct Refusal {
  const char* message;
  RequestField field;
};

// The first field left empty, in the order the dialog reads them.
const Refusal* FindEmptyField(const std::string& source, const std::string& target, const std::string* value) {
  static const Refusal kNoSource{kMsgNoSource, RequestField::kSource};
  static const Refusal kNoTarget{kMsgNoTarget, RequestField::kTarget};
  static const Refusal kNoValue{kMsgNoValue, RequestField::kValue};
  if (source.empty()) return &kNoSource;
  if (target.empty()) return &kNoTarget;
  if (value != nullptr && value->empty()) return &kNoValue;
  return nullptr;
}

void Refuse(JobReport& report, const Refusal& refusal) {
  report.ShowInfo(refusal.message);
  report.Focus(refusal.field);
}

}  // namespace

SplitRequest ReadSplitRequest(Dialog* dialog, SplitMethod method) {
  SplitRequest request;
  request.sourcePath = GetControlText(dialog, IDC_SOURCE_PATH);
  request.targetDir = GetControlText(dialog, IDC_TARGET_PATH);
  request.method = method;
  request.value = GetControlText(dialog, IDC_VALUE);
  request.unit = IsControlChecked(dialog, IDC_UNIT_KB) ? SizeUnit::kKilobytes : SizeUnit::kBytes;
  request.writeBatch = IsControlChecked(dialog, IDC_MAKE_BATCH);
  return request;
}

JoinRequest ReadJoinRequest(Dialog* dialog) {
  JoinRequest request;
  request.firstPiecePath = GetControlText(dialog, IDC_SOURCE_PATH);
  request.targetDir = GetControlText(dialog, IDC_TARGET_PATH);
  return request;
}

int RunSplitJob(Dialog* dialog) {
  DialogReport report(dialog);
  const SplitRequest request = ReadSplitRequest(dialog, gSession.splitMethod);
  const Refusal* refusal = FindEmptyField(request.sourcePath, request.targetDir, &request.value);
  if (refusal == nullptr) {
    PerformSplitJob(request, report);
    return 1;
  }
  // A split holds both buttons from its first step to its last, so it does
  // while it refuses, too.
  report.EnableButtons(false);
  Refuse(report, *refusal);
  report.EnableButtons(true);
  return 1;
}

int RunJoinJob(Dialog* dialog) {
  DialogReport report(dialog);
  const JoinRequest request = ReadJoinRequest(dialog);
  const Refusal* refusal = FindEmptyField(request.firstPiecePath, request.targetDir, nullptr);
  if (refusal == nullptr) {
    PerformJoinJob(request, report);
  } else {
    Refuse(report, *refusal);
  }
  return 1;
}
