#include "win32/system_dpi.h"

#include <windows.h>

#include "win32/dpi_scale.h"

namespace {

// The screen's device context for one scope.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ~ScreenDc() {
    if (dc_ != nullptr) {
      ReleaseDC(nullptr, dc_);
    }
  }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace

std::int32_t SystemDpi() {
  const ScreenDc screen;
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : BASE_DPI;
}
