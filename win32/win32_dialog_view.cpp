#include "win32/win32_dialog_view.h"

#include <string>

#include "resources/resource_ids.h"

namespace {

UINT IconStyle(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information:
      return MB_ICONINFORMATION;
    case MessageIcon::Warning:
      return MB_ICONWARNING;
    case MessageIcon::Error:
      return MB_ICONERROR;
  }
  return 0;
}

UINT ButtonStyle(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok:
      return MB_OK;
    case MessageButtons::OkCancel:
      return MB_OKCANCEL;
    case MessageButtons::YesNo:
      return MB_YESNO;
  }
  return MB_OK;
}

// A box that could not be shown answers with the choice that goes no further.
MessageAnswer Answer(int pressed, MessageButtons buttons) {
  switch (pressed) {
    case IDOK:
      return MessageAnswer::Ok;
    case IDCANCEL:
      return MessageAnswer::Cancel;
    case IDYES:
      return MessageAnswer::Yes;
    case IDNO:
      return MessageAnswer::No;
  }
  switch (buttons) {
    case MessageButtons::OkCancel:
      return MessageAnswer::Cancel;
    case MessageButtons::YesNo:
      return MessageAnswer::No;
    case MessageButtons::Ok:
      break;
  }
  return MessageAnswer::Ok;
}

constexpr int kPanelItems[] = {IDC_LABEL_UNIT,         IDC_VERSION_UNIT, IDC_LABEL_BOOTLOADER,
                               IDC_VERSION_BOOTLOADER, IDC_LABEL_ESC,    IDC_VERSION_ESC};

}  // namespace

std::wstring WindowsLineBreaks(std::wstring_view text) {
  std::wstring out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) {
      out.push_back(L'\r');
    }
    out.push_back(text[i]);
  }
  return out;
}

void Win32DialogView::SetItemText(int item, std::wstring_view text) {
  SetDlgItemTextW(dialog_, item, std::wstring(text).c_str());
}

void Win32DialogView::EnableItem(int item, bool on) {
  EnableWindow(GetDlgItem(dialog_, item), on ? TRUE : FALSE);
}

void Win32DialogView::ShowCatalogueTexts(const Catalogue& texts) {
  struct ItemText {
    int item;
    MessageId text;
  };
  static constexpr ItemText ITEM_TEXTS[] = {
      {IDC_CLOSE, IDS_DIALOG_CLOSE},           {IDC_UPDATE, IDS_DIALOG_UPDATE},
      {IDC_HINT_LABEL, IDS_DIALOG_HINT_LABEL}, {IDC_VERSION_GROUP, IDS_DIALOG_VERSION_GROUP},
      {IDC_LABEL_UNIT, IDS_LABEL_UNIT},        {IDC_LABEL_BOOTLOADER, IDS_LABEL_BOOTLOADER},
      {IDC_LABEL_ESC, IDS_LABEL_ESC},
  };
  for (const ItemText& itemText : ITEM_TEXTS) {
    SetItemText(itemText.item, texts.Text(itemText.text));
  }
}

void Win32DialogView::ShowVersions(const VersionRows& rows) {
  if (!rows.enabled) {
    SetItemText(IDC_VERSION_UNIT, rows.unit);
    SetItemText(IDC_VERSION_BOOTLOADER, rows.bootloader);
    SetItemText(IDC_VERSION_ESC, rows.esc);
  }
  for (int item : kPanelItems) {
    EnableItem(item, rows.enabled);
  }
  if (rows.enabled) {
    SetItemText(IDC_VERSION_UNIT, rows.unit);
    SetItemText(IDC_VERSION_BOOTLOADER, rows.bootloader);
    SetItemText(IDC_VERSION_ESC, rows.esc);
  }
  if (rows.unitLabel) {
    SetItemText(IDC_LABEL_UNIT, *rows.unitLabel);
  }
}

void Win32DialogView::EnableUpdate(bool on) {
  EnableItem(IDC_UPDATE, on);
}

void Win32DialogView::SetHint(std::wstring_view text) {
  SetWindowTextW(GetDlgItem(dialog_, IDC_HINT), WindowsLineBreaks(text).c_str());
}

void Win32DialogView::AppendHint(std::wstring_view text) {
  const HWND hint = GetDlgItem(dialog_, IDC_HINT);
  const std::wstring appended = WindowsLineBreaks(text);
  const int length = GetWindowTextLengthW(hint);
  std::wstring combined(static_cast<std::size_t>(length) + appended.size() + 1, L'\0');
  const int read = GetWindowTextW(hint, combined.data(), length + 1);
  combined.resize(static_cast<std::size_t>(read > 0 ? read : 0));
  combined += appended;
  SetWindowTextW(hint, combined.c_str());
}

MessageAnswer Win32DialogView::ShowMessage(std::wstring_view text, std::wstring_view caption,
                                           MessageIcon icon, MessageButtons buttons) {
  const int pressed =
      MessageBoxW(dialog_, WindowsLineBreaks(text).c_str(), std::wstring(caption).c_str(),
                  IconStyle(icon) | ButtonStyle(buttons));
  return Answer(pressed, buttons);
}
