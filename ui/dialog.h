// The dialog class framework: every window of the program is a dialog made from a
// template and driven by one of these objects. The shared dialog procedure finds
// the object through the window's user slot and hands it every message.
#pragma once
#include <windows.h>

#include <string>

// Key codes given to OnKeyDown and OnKeyRepeat: the virtual-key code plus these.
constexpr UINT kKeyAlt = 0x10000;
constexpr UINT kKeyCtrl = 0x20000;
constexpr UINT kKeyShift = 0x40000;

// Messages between running copies of the program.
constexpr UINT kCloseRequest = WM_USER + 102;
constexpr UINT kActivateRequest = WM_USER + 104;

class DialogBase {
 public:
  virtual ~DialogBase() = default;
  virtual void OnInitDialog() {}
  virtual void OnDestroy() {}
  virtual bool OnOK() { return true; }
  virtual bool OnCancel() { return true; }
  virtual void OnHelp() {}
  // Brings the enabled states and texts of the controls up to date.
  virtual void UpdateControls() {}
  // `command`: control id in the low word, notification code in the high word.
  virtual void OnCommand(WPARAM command, UINT code) {}
  // Modal form: OnDestroy, forget the window, EndDialog.
  virtual void End(INT_PTR result);
  virtual INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd() const { return hwnd_; }
  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }

 protected:
  INT_PTR StandardDispatch(UINT message, WPARAM wParam, LPARAM lParam);

 private:
  friend INT_PTR CALLBACK SharedDialogProc(HWND, UINT, WPARAM, LPARAM);
  friend INT_PTR CALLBACK PageDialogProc(HWND, UINT, WPARAM, LPARAM);
  friend class ModelessDialog;
  friend class PropertyPageBase;
  HWND hwnd_ = nullptr;
};

class ModelessDialog : public DialogBase {
 public:
  // Re-enables the owner, then destroys the window.
  void End(INT_PTR result) override;
  virtual bool OnKeyDown(UINT key) { return false; }
  virtual bool OnKeyRepeat(UINT key) { return false; }
  virtual bool OnKeyUp(UINT virtualKey) { return false; }
  // Called by the modeless loop for every message before IsDialogMessage; true
  // when the message was used up.
  virtual bool PreTranslate(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// The main window: Enter and Escape do not close it, WM_CLOSE asks OnCancel, the
// close and activation requests of other copies are served, and its destruction
// ends the message loop.
class AppWindowBase : public ModelessDialog {
 public:
  void OnHelp() override;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void SetProgramIcons();
};

// Wizard-button flags of a page.
constexpr DWORD kWizBack = PSWIZB_BACK;
constexpr DWORD kWizNext = PSWIZB_NEXT;
constexpr DWORD kWizFinish = PSWIZB_FINISH;
constexpr DWORD kWizDisabledFinish = PSWIZB_DISABLEDFINISH;

class PropertyPageBase : public DialogBase {
 public:
  explicit PropertyPageBase(DWORD wizardFlags = 0) : wizardFlags(wizardFlags) {}
  // Presses the sheet's Cancel button.
  void End(INT_PTR result) override;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual void OnSetActive() {}
  virtual void OnKillActive() {}
  // Posts a press of Next when the page has a Next button, else of Finish.
  void PressNextOrFinish();

  DWORD wizardFlags;
  volatile bool stop = false;

 protected:
  INT_PTR PageDispatch(UINT message, WPARAM wParam, LPARAM lParam);
};

// A page whose work starts by a 0 ms timer right after it becomes active and that
// is told to stop (the stop flag) when the sheet leaves it.
class TimedPage : public PropertyPageBase {
 public:
  using PropertyPageBase::PropertyPageBase;
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnSetActive() override;
  void OnKillActive() override;
  virtual void DoWork() = 0;
};

INT_PTR CALLBACK SharedDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK PageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The program's instance for templates and resources (the module of the .exe).
HINSTANCE ProgramInstance();

// Text of a window or a control, and a message box, in the program's UTF-8.
void SetWindowUtf8(HWND window, const std::string& text);
void SetItemUtf8(HWND dialog, int id, const std::string& text);
std::string WindowUtf8(HWND window);
int MessageBoxUtf8(HWND owner, const std::string& text, const char* caption, UINT flags);

// A dialog template's name (or number) for the wide-character calls: the program's
// windows are Unicode windows, so that their controls hold text in any script.
class TemplateW {
 public:
  explicit TemplateW(LPCSTR name);
  LPCWSTR name() const { return id_ ? id_ : text_.c_str(); }

 private:
  LPCWSTR id_ = nullptr;
  std::wstring text_;
};

INT_PTR RunModal(DialogBase& dialog, LPCSTR templateName, HWND owner);
// Creates the dialog, disables the owner and runs the loop until the window is
// gone; false when the dialog already had a window or could not be made.
bool RunModeless(ModelessDialog& dialog, LPCSTR templateName, HWND owner);
// The loop alone, for a modeless dialog that already exists (the main window).
void RunModelessLoop(ModelessDialog& dialog);

// The key code with modifier flags of a key message, as the handlers get it.
UINT KeyCodeWithModifiers(WPARAM virtualKey);
