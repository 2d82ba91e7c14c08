#include "win32/main_dialog.h"

#include <string>

#include "resources/resource_ids.h"
#include "texts/window_title.h"

namespace {

constexpr COLORREF ESC_ROW_TEXT = RGB(255, 0, 0);

// BeginPaint/EndPaint as one scope.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

void CloseProgram(MainDialogState& state, HWND window, INT_PTR result) {
  state.notification.reset();
  state.link.Close();
  EndDialog(window, result);
}

INT_PTR OnInitDialog(MainDialogState& state, HWND window, WPARAM, LPARAM) {
  state.view.Attach(window);
  const Catalogue& texts = state.texts;

  // GCL_HICON exists only in 32-bit headers; GCLP_HICON is the same slot at pointer width.
  SetClassLongPtrW(
      window, GCLP_HICON,
      reinterpret_cast<LONG_PTR>(LoadIconW(state.instance, MAKEINTRESOURCEW(IDI_APP))));
  const std::wstring title = MainWindowTitle();
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()));
  state.view.ShowCatalogueTexts(texts);

  state.notification = RegisterHidNotification(window, state.hid);
  if (!state.notification) {
    state.view.ShowMessage(texts.Text(IDS_NOTIFY_FAILED), texts.Text(IDS_APP_ERROR),
                           MessageIcon::Error, MessageButtons::Ok);
    CloseProgram(state, window, 1);
    return TRUE;
  }
  state.logic.connection.ShowStartupState(state.link.Open());
  return TRUE;
}

INT_PTR OnPaint(MainDialogState& state, HWND window, WPARAM, LPARAM) {
  const PaintScope paint(window);
  state.logo.Paint(state.instance, window, paint.dc());
  return FALSE;
}

INT_PTR OnCommand(MainDialogState& state, HWND window, WPARAM wParam, LPARAM) {
  switch (LOWORD(wParam)) {
    case IDC_CLOSE:  // also Escape, Enter on Close, and the caption's close button
      CloseProgram(state, window, IDC_CLOSE);
      return TRUE;
    case IDC_UPDATE:
      // The whole update runs here, on the interface thread, pumping no messages outside its
      // boxes: the unit takes one request at a time, and nothing the dialog could do meanwhile
      // (a second Update, Close, a removal) may interleave with the transfer.
      state.logic.runner.Run();
      return TRUE;
  }
  return FALSE;
}

INT_PTR OnCtlColorStatic(MainDialogState& state, HWND, WPARAM wParam, LPARAM lParam) {
  const int item = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
  if (item != IDC_LABEL_ESC && item != IDC_VERSION_ESC) {
    return FALSE;
  }
  const HDC dc = reinterpret_cast<HDC>(wParam);
  SetTextColor(dc, ESC_ROW_TEXT);
  SetBkMode(dc, TRANSPARENT);
  if (!state.rowBrush) {
    state.rowBrush.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
  }
  return reinterpret_cast<INT_PTR>(state.rowBrush.get());
}

INT_PTR OnDeviceChange(MainDialogState& state, HWND, WPARAM wParam, LPARAM lParam) {
  return state.logic.connection.OnDeviceChange(ToDeviceEvent(wParam, lParam)) ? TRUE : FALSE;
}

using MessageHandler = INT_PTR (*)(MainDialogState& state, HWND window, WPARAM wParam,
                                   LPARAM lParam);

struct MessageRoute {
  UINT message;
  MessageHandler handler;
};

// Every message not listed is left to the dialog manager (FALSE).
constexpr MessageRoute ROUTES[] = {
    {WM_INITDIALOG, OnInitDialog},     {WM_PAINT, OnPaint},
    {WM_COMMAND, OnCommand},           {WM_CTLCOLORSTATIC, OnCtlColorStatic},
    {WM_DEVICECHANGE, OnDeviceChange},
};

}  // namespace

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
  }
  // Messages before WM_INITDIALOG (WM_SETFONT among them) find no state yet.
  auto* state = reinterpret_cast<MainDialogState*>(GetWindowLongPtrW(window, DWLP_USER));
  if (state == nullptr) {
    return FALSE;
  }
  for (const MessageRoute& route : ROUTES) {
    if (route.message == message) {
      return route.handler(*state, window, wParam, lParam);
    }
  }
  return FALSE;
}
