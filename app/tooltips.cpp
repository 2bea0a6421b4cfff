// Tooltips: fixed texts from the string table for the mode, method, unit
// and batch buttons; texts on demand for the browse buttons (by mode) and
// the two path fields (their whole text).
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "app_texts.h"
#include "main_window.h"
#include "platform.h"
#include "resource_ids.h"
#include "session_state.h"

namespace {

// The record's early form, up to lParam, which every version of the
// control reads; common controls 6, which the manifest brings, takes it
// too (it refuses only records larger than its own 48 bytes).
constexpr UINT kToolInfoSize = offsetof(TOOLINFOA, lParam) + sizeof(LPARAM);
static_assert(sizeof(void*) != 4 || kToolInfoSize == 44, "TOOLINFOA must be sent in its 44-byte form");

// A path can be longer than the 80 characters of szText, so its tip points
// at this text instead; it must outlive the notification, as the tooltip
// copies it only after the dialog has answered.
std::string gPathTip;

HWND TooltipWindow() { return static_cast<HWND>(gSession.tooltipWindow); }

const char* BrowseTip(int controlId) {
  bool join = gSession.joinMode != 0;
  if (controlId == IDC_SOURCE_BROWSE) return join ? TEXT_TIP_SOURCE_JOIN : TEXT_TIP_SOURCE_SPLIT;
  return join ? TEXT_TIP_TARGET_JOIN : TEXT_TIP_TARGET_SPLIT;
}

bool IsControl(HWND dialog, HWND window, int controlId) { return window == GetDlgItem(dialog, controlId); }

// The path field's text, or false when it is empty (no tip then).
bool PointAtPathText(NMTTDISPINFOA* info, HWND dialog, int controlId) {
  gPathTip = GetControlText(AsDialog(dialog), controlId);
  if (gPathTip.empty()) return false;
  info->lpszText = &gPathTip[0];
  return true;
}

void CopyIntoTip(NMTTDISPINFOA* info, const char* text) {
  lstrcpynA(info->szText, text, static_cast<int>(sizeof info->szText));
}

}  // namespace

void CreateTooltips(HWND dialog) {
  HINSTANCE instance = static_cast<HINSTANCE>(gSession.instance);
  gSession.tooltipWindow = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                           CW_USEDEFAULT, CW_USEDEFAULT, 10, 10, dialog, nullptr, instance,
                                           nullptr);
  AddTooltipTool(dialog, IDC_SOURCE_PATH, 0);
  AddTooltipTool(dialog, IDC_TARGET_PATH, 0);
  AddTooltipTool(dialog, IDC_SOURCE_BROWSE, 0);
  AddTooltipTool(dialog, IDC_TARGET_BROWSE, 0);
  AddTooltipTool(dialog, IDC_METHOD_KEYWORD, IDS_TIP_KEYWORD);
  AddTooltipTool(dialog, IDC_METHOD_SIZE, IDS_TIP_SIZE);
  AddTooltipTool(dialog, IDC_METHOD_PIECES, IDS_TIP_PIECES);
  AddTooltipTool(dialog, IDC_MAKE_BATCH, IDS_TIP_BATCH);
  AddTooltipTool(dialog, IDC_MODE_SPLIT, IDS_TIP_SPLIT_MODE);
  AddTooltipTool(dialog, IDC_MODE_JOIN, IDS_TIP_JOIN_MODE);
  AddTooltipTool(dialog, IDC_UNIT_KB, IDS_TIP_UNIT_KB);
  AddTooltipTool(dialog, IDC_UNIT_BYTES, IDS_TIP_UNIT_BYTES);
}

// String identifier 0 asks for the text each time the tip is shown.
void AddTooltipTool(HWND dialog, int controlId, int stringId) {
  // The tooltip copies a fixed text when the tool is added.
  std::string text = stringId != 0 ? LoadText(stringId) : std::string();
  TOOLINFOA tool = {};
  tool.cbSize = kToolInfoSize;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(dialog, controlId));
  tool.lpszText = stringId != 0 ? &text[0] : LPSTR_TEXTCALLBACKA;
  SendMessageA(TooltipWindow(), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

int SupplyTooltipText(HWND dialog, LPARAM notification) {
  auto* header = reinterpret_cast<NMHDR*>(notification);
  if (header->code != TTN_GETDISPINFOA) return 1;
  auto* info = reinterpret_cast<NMTTDISPINFOA*>(notification);
  HWND tool = reinterpret_cast<HWND>(info->hdr.idFrom);
  if (IsControl(dialog, tool, IDC_SOURCE_PATH) && PointAtPathText(info, dialog, IDC_SOURCE_PATH)) return 1;
  if (IsControl(dialog, tool, IDC_TARGET_PATH) && PointAtPathText(info, dialog, IDC_TARGET_PATH)) return 1;
  if (IsControl(dialog, tool, IDC_SOURCE_BROWSE)) CopyIntoTip(info, BrowseTip(IDC_SOURCE_BROWSE));
  if (IsControl(dialog, tool, IDC_TARGET_BROWSE)) CopyIntoTip(info, BrowseTip(IDC_TARGET_BROWSE));
  return 1;
}

int RelayMouseMove(HWND dialog, WPARAM wParam, LPARAM lParam) {
  MSG message = {};
  message.hwnd = dialog;
  message.message = WM_MOUSEMOVE;
  message.wParam = wParam;
  message.lParam = lParam;
  GetCursorPos(&message.pt);
  message.time = static_cast<DWORD>(GetMessageTime());
  SendMessageA(TooltipWindow(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&message));
  return FALSE;
}
