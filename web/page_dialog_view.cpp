#include "web/page_dialog_view.h"

#include "web/worker_loop.h"

MessageAnswer PageDialogView::ShowMessage(std::wstring_view text, std::wstring_view caption,
                                          MessageIcon icon, MessageButtons buttons) {
  page_.Message(text, caption, icon, buttons);
  return loop_.WaitForAnswer();
}
