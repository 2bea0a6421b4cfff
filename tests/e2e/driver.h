// Drives the real Dorvenal.exe from outside, as a user would: finds its
// dialog and the boxes it shows, reads and sets controls, presses buttons,
// types keys and moves the mouse. Every wait is bounded; a wait that runs
// out throws DriverError, which GoogleTest reports as a failure of the test.
#ifndef DORVENAL_E2E_DRIVER_H
#define DORVENAL_E2E_DRIVER_H

// The driver needs calls newer than the program's own target (menu item
// strings, GUI thread info); it never runs on the old systems.
#undef WINVER
#undef _WIN32_WINNT
#undef _WIN32_IE
#define WINVER 0x0600
#define _WIN32_WINNT 0x0600
#define _WIN32_IE 0x0600
#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

struct DriverError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Set once by main() from the command line.
struct DriverConfig {
  std::string programPath;  // Windows path of Dorvenal.exe
  std::string probePath;    // Windows path of the probe DLL
  std::string cliPath;      // Windows path of dorvenal-cli.exe, when given
};
DriverConfig& Config();

// Polls `done` every few milliseconds until it holds or `timeoutMs` has
// passed; throws with `what` in the message when it never held.
void WaitFor(const std::function<bool()>& done, const std::string& what, DWORD timeoutMs = 10000);

// ---- Files --------------------------------------------------------------

// A scratch folder in the Wine prefix's temp directory, removed afterwards.
class WorkDir {
 public:
  WorkDir();
  ~WorkDir();
  WorkDir(const WorkDir&) = delete;
  WorkDir& operator=(const WorkDir&) = delete;

  const std::string& path() const { return path_; }      // no trailing backslash
  std::string File(const std::string& name) const;      // path + "\" + name
  std::string Subdir(const std::string& name) const;    // created

 private:
  std::string path_;
};

void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
bool FileExists(const std::string& path);
std::vector<std::string> ListDir(const std::string& dir);  // sorted names, no "." or ".."
// n bytes of a fixed pseudo-random pattern, with zero bytes and 0x1A among them.
std::string PatternBytes(size_t n, unsigned seed = 1);

// Runs a command line in `dir` with standard input from NUL; returns its
// exit code. Throws when it does not end within the timeout.
DWORD RunCommand(const std::string& commandLine, const std::string& dir, DWORD timeoutMs = 30000);

// ---- Windows of another process ------------------------------------------

std::string ClassOf(HWND window);
// WM_GETTEXT across processes, bounded.
std::string WindowText(HWND window);

// A message box (or a picker) owned by the program's dialog.
struct Box {
  HWND window = nullptr;
  std::string caption;
  std::string text;  // the static 0xFFFF of a message box; "" otherwise

  // Identifiers of the push buttons that exist, in rising order.
  std::vector<int> Buttons() const;
  bool HasIcon() const;  // the icon static 1088 exists and is visible
  // Clicks a button as a user would: it must exist, be visible and enabled.
  void Click(int buttonId) const;
  // Clicks a button and waits until the box has gone.
  void Press(int buttonId) const;
  // Waits until the box has gone.
  void WaitClosed(DWORD timeoutMs = 10000) const;
};

// One running instance of Dorvenal.exe, started in `currentDir`.
class Program {
 public:
  explicit Program(const std::string& currentDir);
  // Ends the instance if it is still there; a test that left it running
  // fails unless it has failed already.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  HWND dialog() const { return dialog_; }
  DWORD threadId() const { return threadId_; }
  HANDLE process() const { return process_; }
  bool Running() const;

  HWND Control(int id) const;  // throws when the dialog has no such control
  std::string Text(int id) const;
  void SetText(int id, const std::string& text) const;  // WM_SETTEXT, for read-only fields
  bool Checked(int id) const;
  bool Enabled(int id) const;
  bool Visible(int id) const;
  int ProgressPos() const;
  int ProgressLow() const;  // the lower bound of its range

  // Clicks a button as a user would: the dialog must be free of boxes and
  // the button visible and enabled. Returns once the click has been handled,
  // or once the handler has opened a modal box or picker.
  void Click(int id) const;
  // Sends a system command as the window menu would.
  void SysCommand(WPARAM command) const;
  // Waits until the dialog's thread has handled everything sent so far,
  // or sits in a modal loop of a box.
  void Settle() const;

  // The window with the keyboard focus in the program's thread.
  HWND Focus() const;
  int FocusId() const;  // control identifier of Focus(), 0 when none
  // Makes the dialog the foreground window, then moves the focus into a
  // control by a mouse click on it.
  void ClickInto(int id) const;

  // Every top-level window of the process.
  std::vector<HWND> Windows() const;
  // Boxes: every visible top-level window of this process owned by the dialog.
  std::vector<HWND> OwnedWindows() const;
  Box WaitBox(DWORD timeoutMs = 10000) const;  // exactly one must come up
  // A box of this process owned by another of its windows (a picker).
  Box WaitBoxOwnedBy(HWND owner, DWORD timeoutMs = 10000) const;
  bool AnyBox() const;

  // Fills the path fields: through the real Open dialog and folder browser.
  void PickSource(const std::string& pathOrName) const;
  void PickTarget(const std::string& dir) const;
  // Cancels the pickers.
  void CancelSourcePicker() const;
  void CancelTargetPicker() const;

  // Ends the program by Cancel and returns its exit code.
  DWORD Close() const;
  DWORD WaitExit(DWORD timeoutMs = 10000) const;

  // Reads the items of the dialog's window menu from inside the program
  // (the probe DLL runs on the dialog's thread): "id|flags|text" per item.
  std::vector<std::string> SystemMenuItems() const;

 private:
  HANDLE process_ = nullptr;
  DWORD processId_ = 0;
  HWND dialog_ = nullptr;
  DWORD threadId_ = 0;
};

// The file-name field of an Open dialog, or null.
HWND OpenDialogNameEdit(HWND openDialog);

// ---- Input ----------------------------------------------------------------

// Keys by virtual-key code, each pressed and released; `shift` holds Shift down.
void PressKey(WORD vk, bool shift = false);
void PressKeys(const std::vector<WORD>& keys);
// A key with a modifier (VK_CONTROL, VK_MENU, VK_SHIFT) held down.
void PressChord(WORD modifier, WORD vk);
// Types plain text of letters, digits and '-' with key presses.
void TypeText(const std::string& text);
void MoveMouse(int x, int y);  // screen pixels
void ClickMouse(int x, int y);
// The text of the tooltip that appears when the mouse rests on a control.
// Returns "" when no tip shows within `timeoutMs`.
std::string HoverTip(const Program& program, int id, DWORD timeoutMs = 3000);

// Whether `iconWindow` (a static showing an icon) shows `icon` on screen:
// every opaque pixel of the icon must be there. Waits for the painting.
bool ShowsIcon(HWND iconWindow, HICON icon, DWORD timeoutMs = 3000);
// Whether the window shows more than one colour, waiting for its painting.
bool ShowsAnImage(HWND window, DWORD timeoutMs = 3000);
// The program's own icon IDI_APP (104) at 32 x 32, read from the .exe.
HICON ProgramIcon();

// The items of a combo box in another process, and the selected one.
std::vector<std::string> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// Identifiers of a message box's parts.
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kMessageBoxIconId = 1088;

#endif
