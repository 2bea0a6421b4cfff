#include "driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

constexpr char kDialogCaption[] = "Dorvenal V 1.0.8";
constexpr char kDialogClass[] = "#32770";
// How long a cross-process message may take before we call the program hung.
constexpr UINT kSendTimeoutMs = 20000;
constexpr int kSourceBrowse = 1001;
constexpr int kTargetBrowse = 1003;

std::string Hex(uintptr_t value) {
  char text[32];
  wsprintfA(text, "0x%lx", static_cast<unsigned long>(value));
  return text;
}

LRESULT SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result)) {
    throw DriverError("message " + Hex(message) + " to window " + Hex(reinterpret_cast<uintptr_t>(window)) +
                      " (" + ClassOf(window) + ") got no answer");
  }
  return static_cast<LRESULT>(result);
}

struct EnumState {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == state->processId) state->found.push_back(window);
  return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  EnumState state{processId, {}};
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

struct ClassSearch {
  const char* className;
  HWND found;
};

BOOL CALLBACK FindByClass(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ClassSearch*>(param);
  if (ClassOf(window) == search->className) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindDescendant(HWND parent, const char* className) {
  ClassSearch search{className, nullptr};
  EnumChildWindows(parent, FindByClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string LastErrorText() { return "error " + std::to_string(GetLastError()); }

bool IsExtendedKey(WORD vk) {
  switch (vk) {
    case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
    case VK_HOME: case VK_END: case VK_PRIOR: case VK_NEXT:
    case VK_INSERT: case VK_DELETE:
      return true;
    default:
      return false;
  }
}

INPUT KeyInput(WORD vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = vk;
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, 0));
  input.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (IsExtendedKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
  return input;
}

void Send(std::vector<INPUT>& inputs) {
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  if (sent != inputs.size()) throw DriverError("SendInput: " + LastErrorText());
}

POINT Center(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

}  // namespace

DriverConfig& Config() {
  static DriverConfig config;
  return config;
}

void WaitFor(const std::function<bool()>& done, const std::string& what, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return;
    if (GetTickCount() - start > timeoutMs) {
      throw DriverError("timed out after " + std::to_string(timeoutMs) + " ms waiting for " + what);
    }
    Sleep(5);
  }
}

// ---- Files ----------------------------------------------------------------

WorkDir::WorkDir() {
  static std::atomic<unsigned> counter{0};
  char temp[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, temp);
  char longTemp[MAX_PATH] = "";
  if (GetLongPathNameA(temp, longTemp, MAX_PATH) == 0) lstrcpyA(longTemp, temp);
  std::string base = longTemp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  for (;;) {
    std::string candidate = base + "\\dorvenal-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                            std::to_string(counter++) + "-" + std::to_string(GetTickCount());
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS) throw DriverError("cannot create " + candidate);
  }
}

WorkDir::~WorkDir() {
  std::error_code error;
  fs::remove_all(path_, error);
}

std::string WorkDir::File(const std::string& name) const { return path_ + "\\" + name; }

std::string WorkDir::Subdir(const std::string& name) const {
  std::string dir = File(name);
  CreateDirectoryA(dir.c_str(), nullptr);
  return dir;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw DriverError("cannot write " + path);
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DriverError("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::string name = data.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

std::string PatternBytes(size_t n, unsigned seed) {
  std::string bytes(n, '\0');
  unsigned state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 24);
  }
  return bytes;
}

DWORD RunCommand(const std::string& commandLine, const std::string& dir, DWORD timeoutMs) {
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul;
  PROCESS_INFORMATION info{};
  std::string line = commandLine;
  BOOL started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, dir.c_str(),
                                &startup, &info);
  CloseHandle(nul);
  if (!started) throw DriverError("cannot start " + commandLine + ": " + LastErrorText());
  CloseHandle(info.hThread);
  DWORD waited = WaitForSingleObject(info.hProcess, timeoutMs);
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  if (waited != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
  CloseHandle(info.hProcess);
  if (waited != WAIT_OBJECT_0) throw DriverError(commandLine + " did not end");
  return code;
}

// ---- Windows of another process ---------------------------------------------

std::string ClassOf(HWND window) {
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  return name;
}

std::string WindowText(HWND window) {
  LRESULT length = SendBounded(window, WM_GETTEXTLENGTH, 0, 0);
  std::string text(static_cast<size_t>(length) + 1, '\0');
  LRESULT copied = SendBounded(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]));
  text.resize(static_cast<size_t>(std::max<LRESULT>(copied, 0)));
  return text;
}

std::vector<int> Box::Buttons() const {
  std::vector<int> ids;
  for (int id = IDOK; id <= IDCONTINUE; ++id) {
    HWND button = GetDlgItem(window, id);
    if (button && IsWindowVisible(button) && ClassOf(button) == "Button") ids.push_back(id);
  }
  return ids;
}

bool Box::HasIcon() const {
  HWND icon = GetDlgItem(window, kMessageBoxIconId);
  return icon && IsWindowVisible(icon) && (GetWindowLongA(icon, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

void Box::Click(int buttonId) const {
  HWND button = GetDlgItem(window, buttonId);
  if (!button || !IsWindowVisible(button)) {
    throw DriverError("box \"" + caption + "\" has no button " + std::to_string(buttonId));
  }
  if (!IsWindowEnabled(button)) throw DriverError("button " + std::to_string(buttonId) + " is disabled");
  SendNotifyMessageA(button, BM_CLICK, 0, 0);
}

void Box::Press(int buttonId) const {
  Click(buttonId);
  WaitClosed();
}

void Box::WaitClosed(DWORD timeoutMs) const {
  HWND box = window;
  WaitFor([box] { return !IsWindow(box); }, "box \"" + caption + "\" to close", timeoutMs);
}

// ---- Program ------------------------------------------------------------

Program::Program(const std::string& currentDir) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  std::string line = "\"" + Config().programPath + "\"";
  if (!CreateProcessA(Config().programPath.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                      currentDir.c_str(), &startup, &info)) {
    throw DriverError("cannot start " + Config().programPath + ": " + LastErrorText());
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  WaitFor(
      [this] {
        if (!Running()) throw DriverError("the program ended before its dialog appeared");
        for (HWND window : TopLevelWindowsOf(processId_)) {
          char caption[64] = "";
          GetWindowTextA(window, caption, sizeof caption);
          if (ClassOf(window) == kDialogClass && IsWindowVisible(window) && std::strcmp(caption, kDialogCaption) == 0) {
            dialog_ = window;
            return true;
          }
        }
        return false;
      },
      "the dialog \"Dorvenal V 1.0.8\"", 20000);
  threadId_ = GetWindowThreadProcessId(dialog_, nullptr);
  // The dialog is ready for input once its thread answers.
  Settle();
}

Program::~Program() {
  if (!process_) return;
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
    if (!::testing::Test::HasFailure()) ADD_FAILURE() << "the program was still running at the end of the test";
  }
  CloseHandle(process_);
}

bool Program::Running() const { return WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

HWND Program::Control(int id) const {
  HWND control = GetDlgItem(dialog_, id);
  if (!control) throw DriverError("the dialog has no control " + std::to_string(id));
  return control;
}

std::string Program::Text(int id) const { return WindowText(Control(id)); }

void Program::SetText(int id, const std::string& text) const {
  if (!SendBounded(Control(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()))) {
    throw DriverError("control " + std::to_string(id) + " refused WM_SETTEXT");
  }
}

bool Program::Checked(int id) const { return SendBounded(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
bool Program::Enabled(int id) const { return IsWindowEnabled(Control(id)) != FALSE; }
bool Program::Visible(int id) const { return IsWindowVisible(Control(id)) != FALSE; }
int Program::ProgressPos() const { return static_cast<int>(SendBounded(Control(1018), PBM_GETPOS, 0, 0)); }
int Program::ProgressLow() const { return static_cast<int>(SendBounded(Control(1018), PBM_GETRANGE, TRUE, 0)); }

void Program::Click(int id) const {
  Settle();
  HWND button = Control(id);
  if (AnyBox() || !IsWindowEnabled(dialog_)) throw DriverError("the dialog is blocked by a box");
  if (!IsWindowVisible(button)) throw DriverError("control " + std::to_string(id) + " is hidden");
  if (!IsWindowEnabled(button)) throw DriverError("control " + std::to_string(id) + " is disabled");
  SendNotifyMessageA(button, BM_CLICK, 0, 0);
  Settle();
}

void Program::SysCommand(WPARAM command) const {
  Settle();
  if (AnyBox() || !IsWindowEnabled(dialog_)) throw DriverError("the dialog is blocked by a box");
  SendNotifyMessageA(dialog_, WM_SYSCOMMAND, command, 0);
  Settle();
}

void Program::Settle() const {
  DWORD_PTR result = 0;
  if (SendMessageTimeoutA(dialog_, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &result)) return;
  // A dialog that has just ended (Cancel, Esc, the close box) has nothing left to do.
  if (!IsWindow(dialog_)) return;
  throw DriverError("the dialog did not answer within " + std::to_string(kSendTimeoutMs) + " ms");
}

HWND Program::Focus() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  if (!GetGUIThreadInfo(threadId_, &info)) return nullptr;
  return info.hwndFocus;
}

int Program::FocusId() const {
  HWND focus = Focus();
  if (!focus || GetParent(focus) != dialog_) return 0;
  return GetDlgCtrlID(focus);
}

void Program::ClickInto(int id) const {
  Settle();
  HWND control = Control(id);
  if (AnyBox() || !IsWindowEnabled(dialog_)) throw DriverError("the dialog is blocked by a box");
  if (!IsWindowVisible(control) || !IsWindowEnabled(control)) {
    throw DriverError("control " + std::to_string(id) + " cannot be clicked");
  }
  HWND dialog = dialog_;
  if (GetForegroundWindow() != dialog) {
    SetForegroundWindow(dialog);
    WaitFor([dialog] { return GetForegroundWindow() == dialog; }, "the dialog to come to the foreground");
  }
  // Alternate the spot, so that two clicks in a row never make a double
  // click, which an edit takes for a word selection and not a focus change.
  static bool leftHalf = false;
  leftHalf = !leftHalf;
  RECT rect{};
  GetWindowRect(control, &rect);
  int quarter = (rect.right - rect.left) / 4;
  POINT point = Center(control);
  ClickMouse(point.x + (leftHalf ? -quarter : quarter), point.y);
  WaitFor([this, control] { return Focus() == control; }, "the focus to reach control " + std::to_string(id));
  Settle();
}

std::vector<HWND> Program::Windows() const { return TopLevelWindowsOf(processId_); }

std::vector<HWND> Program::OwnedWindows() const {
  std::vector<HWND> owned;
  for (HWND window : TopLevelWindowsOf(processId_)) {
    if (GetWindow(window, GW_OWNER) == dialog_ && ClassOf(window) == kDialogClass) owned.push_back(window);
  }
  return owned;
}

bool Program::AnyBox() const { return !OwnedWindows().empty(); }

Box Program::WaitBox(DWORD timeoutMs) const { return WaitBoxOwnedBy(dialog_, timeoutMs); }

Box Program::WaitBoxOwnedBy(HWND owner, DWORD timeoutMs) const {
  Box box;
  WaitFor(
      [this, owner, &box] {
        if (!Running()) throw DriverError("the program ended while a box was awaited");
        std::vector<HWND> owned;
        for (HWND window : TopLevelWindowsOf(processId_)) {
          if (GetWindow(window, GW_OWNER) == owner && ClassOf(window) == kDialogClass) owned.push_back(window);
        }
        if (owned.size() > 1) throw DriverError(std::to_string(owned.size()) + " boxes are open at once");
        if (owned.size() == 1 && IsWindowVisible(owned[0])) {
          box.window = owned[0];
          return true;
        }
        return false;
      },
      "a box", timeoutMs);
  box.caption = WindowText(box.window);
  if (HWND text = GetDlgItem(box.window, kMessageBoxTextId)) box.text = WindowText(text);
  return box;
}

// An edit inside a combo box in the Explorer style (cmb13), a plain edit in
// the old style (edt1).
HWND OpenDialogNameEdit(HWND openDialog) {
  if (HWND combo = GetDlgItem(openDialog, 0x47C)) {
    if (HWND edit = FindWindowExA(combo, nullptr, "Edit", nullptr)) return edit;
    if (HWND inner = FindWindowExA(combo, nullptr, "ComboBox", nullptr)) {
      if (HWND edit = FindWindowExA(inner, nullptr, "Edit", nullptr)) return edit;
    }
  }
  return GetDlgItem(openDialog, 0x480);
}

void Program::PickSource(const std::string& pathOrName) const {
  Click(kSourceBrowse);
  Box open = WaitBox();
  HWND edit = OpenDialogNameEdit(open.window);
  if (!edit) throw DriverError("the box \"" + open.caption + "\" is no Open dialog");
  SendBounded(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pathOrName.c_str()));
  open.Press(IDOK);
  Settle();
}

void Program::PickTarget(const std::string& dir) const {
  Click(kTargetBrowse);
  Box browser = WaitBox();
  if (!FindDescendant(browser.window, "SysTreeView32")) {
    throw DriverError("the box \"" + browser.caption + "\" is no folder browser");
  }
  // BFFM_SETSELECTIONA takes the path by address, so it must live in the
  // program's address space.
  SIZE_T size = dir.size() + 1;
  void* remote = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) throw DriverError("VirtualAllocEx: " + LastErrorText());
  SIZE_T written = 0;
  bool copied = WriteProcessMemory(process_, remote, dir.c_str(), size, &written) && written == size;
  if (copied) SendBounded(browser.window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(remote));
  VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
  if (!copied) throw DriverError("WriteProcessMemory: " + LastErrorText());
  browser.Press(IDOK);
  Settle();
}

void Program::CancelSourcePicker() const {
  Click(kSourceBrowse);
  Box open = WaitBox();
  if (!OpenDialogNameEdit(open.window)) throw DriverError("the box \"" + open.caption + "\" is no Open dialog");
  open.Press(IDCANCEL);
  Settle();
}

void Program::CancelTargetPicker() const {
  Click(kTargetBrowse);
  Box browser = WaitBox();
  if (!FindDescendant(browser.window, "SysTreeView32")) {
    throw DriverError("the box \"" + browser.caption + "\" is no folder browser");
  }
  browser.Press(IDCANCEL);
  Settle();
}

DWORD Program::Close() const {
  Click(IDCANCEL);
  return WaitExit();
}

DWORD Program::WaitExit(DWORD timeoutMs) const {
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) throw DriverError("the program did not end");
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

std::vector<std::string> Program::SystemMenuItems() const {
  // Shared with the probe DLL (probe.cpp): the dialog's handle in, the
  // items out, one "id|flags|text" line each.
  std::string suffix = std::to_string(processId_);
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 65536,
                                      ("DorvenalE2EProbe-" + suffix).c_str());
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, ("DorvenalE2EProbeDone-" + suffix).c_str());
  char* shared = mapping ? static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) : nullptr;
  HMODULE probe = LoadLibraryA(Config().probePath.c_str());
  auto hookProc = probe ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(GetProcAddress(probe, "ProbeGetMessageHook"))) : nullptr;
  std::vector<std::string> items;
  std::string failure;
  if (!shared || !done || !hookProc) {
    failure = "cannot set up the probe " + Config().probePath + ": " + LastErrorText();
  } else {
    std::memset(shared, 0, 65536);
    *reinterpret_cast<HWND*>(shared) = dialog_;
    HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, hookProc, probe, threadId_);
    if (!hook) {
      failure = "SetWindowsHookEx: " + LastErrorText();
    } else {
      PostMessageA(dialog_, WM_NULL, 0, 0);
      if (WaitForSingleObject(done, 10000) != WAIT_OBJECT_0) failure = "the probe did not answer";
      UnhookWindowsHookEx(hook);
      std::string all(shared + sizeof(HWND));
      size_t start = 0;
      for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
        items.push_back(all.substr(start, end - start));
      }
    }
  }
  if (probe) FreeLibrary(probe);
  if (shared) UnmapViewOfFile(shared);
  if (mapping) CloseHandle(mapping);
  if (done) CloseHandle(done);
  if (!failure.empty()) throw DriverError(failure);
  return items;
}

// ---- Input ----------------------------------------------------------------

void PressKey(WORD vk, bool shift) {
  std::vector<INPUT> inputs;
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, false));
  inputs.push_back(KeyInput(vk, false));
  inputs.push_back(KeyInput(vk, true));
  if (shift) inputs.push_back(KeyInput(VK_SHIFT, true));
  Send(inputs);
}

void PressChord(WORD modifier, WORD vk) {
  std::vector<INPUT> inputs{KeyInput(modifier, false), KeyInput(vk, false), KeyInput(vk, true),
                            KeyInput(modifier, true)};
  Send(inputs);
}

void PressKeys(const std::vector<WORD>& keys) {
  for (WORD vk : keys) PressKey(vk);
}

void TypeText(const std::string& text) {
  for (char c : text) {
    SHORT scan = VkKeyScanA(c);
    if (scan == -1) throw DriverError(std::string("no key types '") + c + "'");
    PressKey(static_cast<WORD>(scan & 0xFF), (scan & 0x100) != 0);
  }
}

namespace {
// Each mouse input carries its position: Wine may still be handling the X
// pointer's earlier whereabouts, and a button event without a position
// would land there.
INPUT MouseInput(int x, int y, DWORD flags) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = static_cast<LONG>((x * 65535LL + width / 2) / (width - 1));
  input.mi.dy = static_cast<LONG>((y * 65535LL + height / 2) / (height - 1));
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
  return input;
}
}  // namespace

void MoveMouse(int x, int y) {
  std::vector<INPUT> inputs{MouseInput(x, y, 0)};
  Send(inputs);
  WaitFor(
      [x, y] {
        POINT cursor{};
        GetCursorPos(&cursor);
        return cursor.x == x && cursor.y == y;
      },
      "the mouse to arrive at " + std::to_string(x) + "," + std::to_string(y));
}

void ClickMouse(int x, int y) {
  MoveMouse(x, y);
  std::vector<INPUT> inputs{MouseInput(x, y, MOUSEEVENTF_LEFTDOWN), MouseInput(x, y, MOUSEEVENTF_LEFTUP)};
  Send(inputs);
}

std::string HoverTip(const Program& program, int id, DWORD timeoutMs) {
  HWND tip = nullptr;
  DWORD processId = 0;
  GetWindowThreadProcessId(program.dialog(), &processId);
  for (HWND window : TopLevelWindowsOf(processId)) {
    if (ClassOf(window) == TOOLTIPS_CLASSA) tip = window;
  }
  if (!tip) throw DriverError("the program has no tooltip window");
  // Start from a place without tools so that the tip is hidden.
  MoveMouse(0, 0);
  WaitFor([tip] { return !IsWindowVisible(tip); }, "the tooltip to hide");
  POINT point = Center(program.Control(id));
  MoveMouse(point.x, point.y);
  MoveMouse(point.x + 1, point.y);
  std::string text;
  try {
    WaitFor(
        [tip, &text] {
          if (!IsWindowVisible(tip)) return false;
          text = WindowText(tip);
          return !text.empty();
        },
        "a tooltip", timeoutMs);
  } catch (const DriverError&) {
    text.clear();
  }
  MoveMouse(0, 0);
  return text;
}

// ---- Pixels -----------------------------------------------------------------

namespace {

std::vector<uint32_t> BitmapPixels(HDC dc, HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
  return pixels;
}

std::vector<uint32_t> CaptureScreen(const RECT& rect) {
  int width = rect.right - rect.left;
  int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  SelectObject(memory, old);
  std::vector<uint32_t> pixels = BitmapPixels(memory, bitmap, width, height);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return pixels;
}

}  // namespace

bool ShowsIcon(HWND iconWindow, HICON icon, DWORD timeoutMs) {
  ICONINFO parts{};
  if (!icon || !GetIconInfo(icon, &parts)) throw DriverError("no icon to compare with");
  BITMAP mask{};
  GetObject(parts.hbmMask, sizeof mask, &mask);
  int width = mask.bmWidth;
  int height = parts.hbmColor ? mask.bmHeight : mask.bmHeight / 2;
  HDC dc = GetDC(nullptr);
  std::vector<uint32_t> andMask = BitmapPixels(dc, parts.hbmMask, width, height);
  std::vector<uint32_t> colour = parts.hbmColor ? BitmapPixels(dc, parts.hbmColor, width, height) : andMask;
  ReleaseDC(nullptr, dc);
  DeleteObject(parts.hbmMask);
  if (parts.hbmColor) DeleteObject(parts.hbmColor);

  RECT rect{};
  GetWindowRect(iconWindow, &rect);
  if (rect.right - rect.left != width || rect.bottom - rect.top != height) {
    throw DriverError("the icon window is " + std::to_string(rect.right - rect.left) + "x" +
                      std::to_string(rect.bottom - rect.top) + ", the icon " + std::to_string(width) + "x" +
                      std::to_string(height));
  }
  auto matches = [&] {
    std::vector<uint32_t> shown = CaptureScreen(rect);
    for (size_t i = 0; i < shown.size(); ++i) {
      if (andMask[i] == 0 && shown[i] != colour[i]) return false;
    }
    return true;
  };
  try {
    WaitFor(matches, "the icon to show", timeoutMs);
    return true;
  } catch (const DriverError&) {
    return false;
  }
}

bool ShowsAnImage(HWND window, DWORD timeoutMs) {
  RECT rect{};
  GetWindowRect(window, &rect);
  try {
    WaitFor(
        [&] {
          std::vector<uint32_t> shown = CaptureScreen(rect);
          return std::any_of(shown.begin(), shown.end(), [&](uint32_t pixel) { return pixel != shown[0]; });
        },
        "an image", timeoutMs);
    return true;
  } catch (const DriverError&) {
    return false;
  }
}

HICON ProgramIcon() {
  HMODULE module = LoadLibraryExA(Config().programPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) throw DriverError("cannot read the resources of " + Config().programPath);
  HICON icon = static_cast<HICON>(LoadImageA(module, MAKEINTRESOURCEA(104), IMAGE_ICON, 32, 32, 0));
  FreeLibrary(module);
  if (!icon) throw DriverError("the program has no icon 104 of 32 x 32");
  return icon;
}

std::vector<std::string> ComboItems(HWND combo) {
  // Wine hands CB_GETLBTEXT across processes in its wide form only.
  std::vector<std::string> items;
  LRESULT count = SendBounded(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    DWORD_PTR length = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXTLEN, i, 0, SMTO_NORMAL, kSendTimeoutMs, &length);
    std::wstring wide(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&wide[0]), SMTO_NORMAL, kSendTimeoutMs,
                        &copied);
    wide.resize(static_cast<LRESULT>(copied) > 0 ? copied : 0);
    std::string text;
    for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
    items.push_back(text);
  }
  return items;
}

int ComboSelection(HWND combo) { return static_cast<int>(SendBounded(combo, CB_GETCURSEL, 0, 0)); }
