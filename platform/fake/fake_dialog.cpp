#include "fake_dialog.h"

#include "text_format.h"

namespace {
FakeDialog* FromHandle(Dialog* dialog) { return reinterpret_cast<FakeDialog*>(dialog); }
}  // namespace

FakeDialog::FakeDialog() = default;
FakeDialog::~FakeDialog() = default;

Dialog* FakeDialog::handle() { return reinterpret_cast<Dialog*>(this); }

std::string FakeDialog::Text(int controlId) const {
  auto found = texts_.find(controlId);
  return found == texts_.end() ? std::string() : found->second;
}

bool FakeDialog::Checked(int controlId) const {
  auto found = checks_.find(controlId);
  return found != checks_.end() && found->second;
}

BoxAnswer FakeDialog::NextAnswer() {
  if (answers_.empty()) {
    unexpectedQuestion_ = true;
    return kAnswerNo;
  }
  BoxAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<std::string> FakeDialog::Entries(const std::string& prefix) const {
  std::vector<std::string> found;
  for (const std::string& entry : log_) {
    if (entry.compare(0, prefix.size(), prefix) == 0) found.push_back(entry);
  }
  return found;
}

std::vector<std::string> FakeDialog::InfoBoxes() const {
  std::vector<std::string> texts;
  for (const std::string& entry : Entries("info: ")) texts.push_back(entry.substr(6));
  return texts;
}

std::vector<std::string> FakeDialog::Questions() const {
  std::vector<std::string> texts;
  for (const std::string& entry : Entries("yesno: ")) texts.push_back(entry.substr(7));
  return texts;
}

std::string GetControlText(Dialog* dialog, int controlId) { return FromHandle(dialog)->Text(controlId); }


bool IsControlChecked(Dialog* dialog, int controlId) { return FromHandle(dialog)->Checked(controlId); }

void FocusControl(Dialog* dialog, int controlId) { FromHandle(dialog)->Record("focus " + std::to_string(controlId)); }

void EnableControl(Dialog* dialog, int controlId, bool enable) {
  FromHandle(dialog)->Record("enable " + std::to_string(controlId) + (enable ? " 1" : " 0"));
}

void ShowInfoBox(Dialog* dialog, const std::string& text) { FromHandle(dialog)->Record("info: " + text); }

BoxAnswer AskYesNo(Dialog* dialog, const std::string& text) {
  FromHandle(dialog)->Record("yesno: " + text);
  return FromHandle(dialog)->NextAnswer();
}

void SetProgressRange(Dialog* dialog, uint32_t minimum, uint32_t maximum) {
  FromHandle(dialog)->Record("range " + std::to_string(minimum) + " " + std::to_string(maximum));
}

void SetProgressStep(Dialog* dialog, uint32_t step) { FromHandle(dialog)->Record("step " + std::to_string(step)); }

void SetProgressPos(Dialog* dialog, uint32_t position) {
  FromHandle(dialog)->Record("pos " + std::to_string(position));
}
