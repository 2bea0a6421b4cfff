// The default button: the controls read into a request, an empty field
// refused with its message and focus, then the job on the dialog's report.
#include <windows.h>

#include "dialog_report.h"
#include "main_window.h"
#include "resource_ids.h"
#include "texts.h"

namespace {

// A field left empty: its message, and the control where the user mends it.
struct Refusal {
  const char* message;
  int focus;
};

const Refusal kNoSource{kMsgNoSource, IDC_SOURCE_BROWSE};
const Refusal kNoTarget{kMsgNoTarget, IDC_TARGET_BROWSE};
const Refusal kNoValue{kMsgNoValue, IDC_VALUE};

// The first field left empty, in the order the dialog reads them.
const Refusal* FindEmptyField(const std::string& source, const std::string& target, const std::string* value) {
  if (source.empty()) return &kNoSource;
  if (target.empty()) return &kNoTarget;
  if (value != nullptr && value->empty()) return &kNoValue;
  return nullptr;
}

void Refuse(HWND dialog, const Refusal& refusal) {
  ShowInfoBox(dialog, refusal.message);
  FocusControl(dialog, refusal.focus);
}

// The value field as the method takes it. A size or count of 0 or less
// stays 0, which the job refuses without a word.
void ReadSplitValue(const std::string& value, bool kilobytes, SplitRequest& request) {
  if (request.method == Keyword) {
    request.keyword = value;
    return;
  }
  // Scaled in 64 bits: a large KB entry must not wrap into a small size.
  int64_t number = ParseDialogNumber(value);
  if (number <= 0) return;
  if (request.method == Pieces) request.pieceCount = static_cast<uint64_t>(number);
  if (request.method == Size) request.pieceBytes = static_cast<uint64_t>(kilobytes ? number * 1024 : number);
}

// A split holds both buttons off from its first step to its last box,
// also while it refuses; the join never does.
void EnableJobButtons(HWND dialog, bool enable) {
  EnableControl(dialog, IDOK, enable);
  EnableControl(dialog, IDCANCEL, enable);
}

}  // namespace

int32_t ParseDialogNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
    if (value > INT64_C(2147483648)) return 0;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int32_t>(value);
}

int RunSplitJob(HWND dialog, const DialogState& state) {
  SplitRequest request;
  request.sourcePath = GetControlText(dialog, IDC_SOURCE_PATH);
  request.targetDir = GetControlText(dialog, IDC_TARGET_PATH);
  request.method = state.splitMethod;
  const std::string value = GetControlText(dialog, IDC_VALUE);
  ReadSplitValue(value, IsControlChecked(dialog, IDC_UNIT_KB), request);
  request.writeBatch = IsControlChecked(dialog, IDC_MAKE_BATCH);
  EnableJobButtons(dialog, false);
  if (const Refusal* refusal = FindEmptyField(request.sourcePath, request.targetDir, &value)) {
    Refuse(dialog, *refusal);
  } else {
    DialogReport report(dialog, DialogJob::kSplit);
    state.splitJob(request, report);
  }
  EnableJobButtons(dialog, true);
  return 1;
}

int RunJoinJob(HWND dialog, const DialogState& state) {
  JoinRequest request;
  request.firstPiecePath = GetControlText(dialog, IDC_SOURCE_PATH);
  request.targetDir = GetControlText(dialog, IDC_TARGET_PATH);
  if (const Refusal* refusal = FindEmptyField(request.firstPiecePath, request.targetDir, nullptr)) {
    Refuse(dialog, *refusal);
    return 1;
  }
  DialogReport report(dialog, DialogJob::kJoin);
  state.joinJob(request, report);
  return 1;
}
