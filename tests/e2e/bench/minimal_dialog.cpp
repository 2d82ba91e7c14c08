// The yardstick for the program's start-up time: a dialog from an in-memory template with one
// edit control that it fills in WM_INITDIALOG, and nothing else.
#include <windows.h>

#include <cstring>
#include <vector>

#include "resources/resource_ids.h"

namespace {

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      SetDlgItemTextW(dialog, IDC_HINT, L"Ready.");
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK)
        EndDialog(dialog, 0);
      return TRUE;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

// DLGTEMPLATE and one DLGITEMTEMPLATE, each item aligned to a DWORD.
std::vector<WORD> Template() {
  std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
  auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
  d->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE | DS_MODALFRAME | DS_CENTER;
  d->cdit = 1;
  d->cx = 200;
  d->cy = 80;
  t.push_back(0);  // no menu
  t.push_back(0);  // default class
  for (const wchar_t* c = L"Minimal"; *c; ++c)
    t.push_back(static_cast<WORD>(*c));
  t.push_back(0);
  if (t.size() % 2 != 0)
    t.push_back(0);
  const std::size_t at = t.size();
  t.resize(at + sizeof(DLGITEMTEMPLATE) / sizeof(WORD), 0);
  auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(t.data() + at);
  item->style = WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_READONLY;
  item->x = 10;
  item->y = 10;
  item->cx = 180;
  item->cy = 60;
  item->id = IDC_HINT;
  t.push_back(0xFFFF);
  t.push_back(0x0081);  // edit class
  t.push_back(0);       // no text
  t.push_back(0);       // no creation data
  return t;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  std::vector<WORD> t = Template();
  return static_cast<int>(DialogBoxIndirectParamW(
      instance, reinterpret_cast<DLGTEMPLATE*>(t.data()), nullptr, Procedure, 0));
}
