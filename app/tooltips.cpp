// Tooltips: fixed texts from the string table for the mode, method, unit
// and batch buttons; texts on demand for the browse buttons (by mode) and
// the two path fields (their whole text).
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "app_texts.h"
#include "main_window.h"
#include "resource_ids.h"

namespace {

// The record's early form, up to lParam, which every version of the
// control reads; common controls 6, which the manifest brings, takes it
// too (it refuses only records larger than its own 48 bytes).
constexpr UINT kToolInfoSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
static_assert(sizeof(void*) != 4 || kToolInfoSize == 44, "TOOLINFOA must be sent in its 44-byte form");

const char* BrowseTip(const DialogState& state, int controlId) {
  bool join = state.joinMode != 0;
  if (controlId == IDC_SOURCE_BROWSE) return join ? TEXT_TIP_SOURCE_JOIN : TEXT_TIP_SOURCE_SPLIT;
  return join ? TEXT_TIP_TARGET_JOIN : TEXT_TIP_TARGET_SPLIT;
}

bool IsControl(HWND dialog, HWND window, int controlId) { return window == GetDlgItem(dialog, controlId); }

// A path can be longer than the 80 characters of szText, so its tip
// points at the state's copy of the field's text; false when the field is
// empty (no tip then).
bool PointAtPathText(NMTTDISPINFOA* info, HWND dialog, DialogState& state, int controlId) {
  state.pathTip = GetControlText(dialog, controlId);
  if (state.pathTip.empty()) return false;
  info->lpszText = &state.pathTip[0];
  return true;
}

void CopyIntoTip(NMTTDISPINFOA* info, const char* text) {
  lstrcpynA(info->szText, text, static_cast<int>(sizeof info->szText));
}

}  // namespace

void CreateTooltips(HWND dialog, DialogState& state) {
  state.tooltipWindow = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 10, 10, dialog, nullptr, state.instance, nullptr);
  static const int kTools[][2] = {
      {IDC_SOURCE_PATH, 0},
      {IDC_TARGET_PATH, 0},
      {IDC_SOURCE_BROWSE, 0},
      {IDC_TARGET_BROWSE, 0},
      {IDC_METHOD_KEYWORD, IDS_TIP_KEYWORD},
      {IDC_METHOD_SIZE, IDS_TIP_SIZE},
      {IDC_METHOD_PIECES, IDS_TIP_PIECES},
      {IDC_MAKE_BATCH, IDS_TIP_BATCH},
      {IDC_MODE_SPLIT, IDS_TIP_SPLIT_MODE},
      {IDC_MODE_JOIN, IDS_TIP_JOIN_MODE},
      {IDC_UNIT_KB, IDS_TIP_UNIT_KB},
      {IDC_UNIT_BYTES, IDS_TIP_UNIT_BYTES},
  };
  for (const auto& tool : kTools) AddTooltipTool(dialog, state, tool[0], tool[1]);
}

// String identifier 0 asks for the text each time the tip is shown.
void AddTooltipTool(HWND dialog, const DialogState& state, int controlId, int stringId) {
  // The tooltip copies a fixed text when the tool is added.
  std::string text = stringId != 0 ? LoadStringText(state.instance, stringId) : std::string();
  TOOLINFOA tool = {};
  tool.cbSize = kToolInfoSize;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, controlId));
  tool.lpszText = stringId != 0 ? &text[0] : LPSTR_TEXTCALLBACKA;
  SendMessageA(state.tooltipWindow, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

int SupplyTooltipText(HWND dialog, DialogState& state, LPARAM notification) {
  auto* header = reinterpret_cast<NMHDR*>(notification);
  if (header->code != TTN_GETDISPINFOA) return 1;
  auto* info = reinterpret_cast<NMTTDISPINFOA*>(notification);
  HWND tool = reinterpret_cast<HWND>(info->hdr.idFrom);
  if (IsControl(dialog, tool, IDC_SOURCE_PATH) && PointAtPathText(info, dialog, state, IDC_SOURCE_PATH)) return 1;
  if (IsControl(dialog, tool, IDC_TARGET_PATH) && PointAtPathText(info, dialog, state, IDC_TARGET_PATH)) return 1;
  if (IsControl(dialog, tool, IDC_SOURCE_BROWSE)) CopyIntoTip(info, BrowseTip(state, IDC_SOURCE_BROWSE));
  if (IsControl(dialog, tool, IDC_TARGET_BROWSE)) CopyIntoTip(info, BrowseTip(state, IDC_TARGET_BROWSE));
  return 1;
}

int RelayMouseMove(HWND dialog, const DialogState& state, WPARAM wParam, LPARAM lParam) {
  MSG message = {};
  message.hwnd = dialog;
  message.message = WM_MOUSEMOVE;
  message.wParam = wParam;
  message.lParam = lParam;
  GetCursorPos(&message.pt);
  message.time = static_cast<DWORD>(GetMessageTime());
  SendMessageA(state.tooltipWindow, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
  return FALSE;
}
