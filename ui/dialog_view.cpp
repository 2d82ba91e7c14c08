#include "ui/dialog_view.h"

namespace {

// Stands in before the main dialog binds itself: shows nothing and declines every question, so
// nothing can start without a dialog.
class DetachedView final : public DialogView {
 public:
  void SetItemText(int, std::wstring_view) override {}
  void EnableItem(int, bool) override {}
  void SetHint(std::wstring_view) override {}
  void AppendHint(std::wstring_view) override {}
  MessageAnswer ShowMessage(std::wstring_view, std::wstring_view, MessageIcon,
                            MessageButtons buttons) override {
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
  }
};

DetachedView g_detached;
DialogView* g_view = &g_detached;

}  // namespace

void BindDialogView(DialogView* view) {
  g_view = view != nullptr ? view : &g_detached;
}

DialogView& View() {
  return *g_view;
}
