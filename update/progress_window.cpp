#include "update/progress_window.h"

namespace {

// Without a bound display the transfer goes on unseen, as it does when the window cannot be
// created.
class NoProgressWindow final : public ProgressWindow {
 public:
  void Open(std::wstring_view) override {}
  void SetPosition(std::uint32_t) override {}
  void RaiseOnceIfForeground() override {}
  void Close() override {}
};

NoProgressWindow g_noWindow;
ProgressWindow* g_window = &g_noWindow;

}  // namespace

void BindProgressWindow(ProgressWindow* window) {
  g_window = window != nullptr ? window : &g_noWindow;
}

ProgressWindow& Progress() {
  return *g_window;
}
