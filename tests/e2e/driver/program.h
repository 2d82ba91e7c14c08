// The program under test: starts it, finds and reads its windows, presses its buttons, answers
// its message boxes and sends it device-change events. Every wait is bounded.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "tests/e2e/driver/support.h"

namespace e2e {

// A message box owned by the main dialog, as the user sees it.
struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<int> buttons;  // control IDs present: IDOK, IDCANCEL, IDYES, IDNO
  int defaultButton = 0;
};

// Sends one message from a helper thread, so that a handler that opens a message box does not
// block the driver; Join bounds the wait for the handler to finish. A send still unanswered when
// the object goes (a scenario aborted) is left to end with the program, never waited for without
// bound: its thread owns what it uses.
class AsyncSend {
 public:
  // `description` names the message in failures, e.g. "WM_DEVICECHANGE 0x8000 for <path>".
  AsyncSend(HWND window, UINT message, WPARAM wParam, std::vector<std::uint8_t> lParamData,
            std::string description);
  ~AsyncSend();
  AsyncSend(const AsyncSend&) = delete;
  AsyncSend& operator=(const AsyncSend&) = delete;
  bool done() const { return state_->done.load(); }
  // Aborts the scenario, naming the unanswered message, when the handler has not returned.
  void Join(Checks& checks, double timeoutMs, const std::string& what,
            Checks::Where where = Checks::Where::current());

 private:
  struct State {
    std::vector<std::uint8_t> data;
    std::atomic<bool> done{false};
  };
  std::shared_ptr<State> state_;
  std::string description_;
  std::thread thread_;
};

class Program {
 public:
  Program(Checks& checks, std::wstring exePath, std::wstring busName);
  ~Program();  // ends the program if it still runs (End)
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Sets the program's Wine per-application settings: the native doubles, and unmanaged windows
  // where no window manager runs (Xvfb).
  static void ConfigureWine(const std::wstring& exePath, bool unmanaged);

  void Start();
  // Where this program keeps its update records: a folder of the bus's own, given to the program
  // as its LOCALAPPDATA, so that scenarios running at once never read each other's records.
  std::wstring recordsRoot() const;
  DWORD pid() const { return pid_; }
  bool Running() const;
  std::string ExitCodeText() const;  // the ended program's exit code, in hex
  HWND dialog() const { return dialog_; }

  // Waits until the dialog window exists (it may still be hidden inside WM_INITDIALOG).
  void WaitForDialogWindow(double timeoutMs = 20000,
                           Checks::Where where = Checks::Where::current());
  // Waits until the dialog exists, is visible and has answered a message (start-up done).
  void WaitForDialog(double timeoutMs = 20000, Checks::Where where = Checks::Where::current());
  // Round trip through the program's message loop (also nested box loops).
  bool Responds(DWORD timeoutMs = 5000) const;

  std::wstring Title() const;  // top-level title: needs no message loop
  std::wstring ItemText(int id) const;
  bool ItemEnabled(int id) const;

  void PressButton(int id);  // posted WM_COMMAND, as a click would send it

  // Visible top-level windows of the program other than the dialog.
  std::vector<HWND> OwnedBoxes() const;
  HWND ProgressWindow() const;
  MessageBoxInfo ReadBox(HWND box) const;
  MessageBoxInfo WaitForBox(double timeoutMs, const std::string& what,
                            Checks::Where where = Checks::Where::current());
  void AnswerBox(const MessageBoxInfo& box, int button,
                 Checks::Where where = Checks::Where::current());
  void WaitNoBox(double timeoutMs, const std::string& what,
                 Checks::Where where = Checks::Where::current());

  // WM_DEVICECHANGE with a DEV_BROADCAST_DEVICEINTERFACE_W for `path` (code 0x8000 or 0x8004).
  std::unique_ptr<AsyncSend> SendDeviceChange(WPARAM code, const std::wstring& path);

  void Close(double timeoutMs = 15000);  // presses Close and waits for the exit
  DWORD WaitExit(double timeoutMs);
  // Terminates the program if it still runs and waits at most 10 s for it to end; empty when it
  // has ended, else what is wrong.
  std::string End();

 private:
  // The main dialog (the unowned #32770 window) once it exists, else null; aborts when the program
  // has ended.
  HWND FindDialog(Checks::Where where);

  Checks& checks_;
  std::wstring exePath_;
  std::wstring busName_;
  KernelObject process_;
  DWORD pid_ = 0;
  HWND dialog_ = nullptr;
};

}  // namespace e2e
