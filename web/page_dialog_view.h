#pragma once

#include "dialog/dialog_view.h"
#include "update/progress_window.h"
#include "web/page_channel.h"

class WorkerLoop;

// The dialog's operations carried out on the page. A box waits for the page's answer in a nested
// loop that still handles device events, as a message box's modal loop does on Windows.
class PageDialogView final : public DialogView {
 public:
  PageDialogView(PageChannel& page, WorkerLoop& loop) : page_(page), loop_(loop) {}

  void ShowVersions(const VersionRows& rows) override { page_.Versions(rows); }
  void EnableUpdate(bool on) override { page_.UpdateEnabled(on); }
  void SetHint(std::wstring_view text) override { page_.Hint(text, false); }
  void AppendHint(std::wstring_view text) override { page_.Hint(text, true); }
  MessageAnswer ShowMessage(std::wstring_view text, std::wstring_view caption, MessageIcon icon,
                            MessageButtons buttons) override;

 private:
  PageChannel& page_;
  WorkerLoop& loop_;
};

// The transfer's progress bar on the page.
class PageProgress final : public ProgressWindow {
 public:
  explicit PageProgress(PageChannel& page) : page_(page) {}
  void Open(std::wstring_view title) override { page_.ProgressOpen(title); }
  void SetPosition(std::uint32_t percent) override { page_.ProgressPosition(percent); }
  void Close() override { page_.ProgressClose(); }

 private:
  PageChannel& page_;
};
