#include "win32/dialog_logo.h"

#include <utility>

#include "resources/resource_ids.h"

namespace {

constexpr COLORREF LOGO_TRANSPARENT = RGB(0, 255, 0);

ScreenRect ToScreenRect(const RECT& rect) {
  return {rect.left, rect.top, rect.right, rect.bottom};
}

// A GDI object selected into a DC for one scope.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Where the logo of a `width` x `height` bitmap goes in `dialog` now.
Placement PlaceIn(HWND dialog, int width, int height) {
  RECT frame{};
  RECT group{};
  GetWindowRect(dialog, &frame);
  GetWindowRect(GetDlgItem(dialog, IDC_VERSION_GROUP), &group);
  return PlaceLogo(ToScreenRect(frame), ToScreenRect(group), width, height,
                   GetSystemMetrics(SM_CXDLGFRAME), GetSystemMetrics(SM_CYCAPTION));
}

}  // namespace

bool DialogLogo::Prepare(HINSTANCE instance, HWND dialog, HDC dc) {
  stretched_.reset();
  // As a DIB section the bitmap is copied as it is, not converted to the screen's format; the
  // stretch reads the same colours either way.
  const BitmapHandle logo(static_cast<HBITMAP>(
      LoadImageW(instance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP size{};
  if (!logo || GetObjectW(logo.get(), sizeof(size), &size) == 0) {
    return false;
  }
  const Placement place = PlaceIn(dialog, size.bmWidth, size.bmHeight);
  BitmapHandle stretched(CreateCompatibleBitmap(dc, place.width, place.height));
  const MemoryDc target(CreateCompatibleDC(dc));
  const MemoryDc source(CreateCompatibleDC(dc));
  if (!stretched || !target || !source) {
    return false;
  }
  const Selection intoTarget(target.get(), stretched.get());
  const Selection fromSource(source.get(), logo.get());
  // The same call as drawing straight into the dialog, onto pure green: where it leaves a pixel
  // alone, pure green is what the stretch made there, so the kept bitmap is the stretch itself,
  // and a 1:1 TransparentBlt of it draws exactly what the direct call would.
  const RECT all{0, 0, place.width, place.height};
  const BrushHandle green(CreateSolidBrush(LOGO_TRANSPARENT));
  if (!green || !FillRect(target.get(), &all, green.get()) ||
      !GdiTransparentBlt(target.get(), 0, 0, place.width, place.height, source.get(), 0, 0,
                         size.bmWidth, size.bmHeight, LOGO_TRANSPARENT)) {
    return false;
  }
  stretched_ = std::move(stretched);
  place_ = place;
  bitmapWidth_ = size.bmWidth;
  bitmapHeight_ = size.bmHeight;
  return true;
}

void DialogLogo::Paint(HINSTANCE instance, HWND dialog, HDC dc) {
  // The place follows the formulas at every paint, as it always did; a new size (which the
  // fixed-size dialog never takes) needs a new stretch.
  if (stretched_) {
    const Placement place = PlaceIn(dialog, bitmapWidth_, bitmapHeight_);
    if (place.width != place_.width || place.height != place_.height) {
      stretched_.reset();
    }
    place_ = place;
  }
  if (!stretched_ && !Prepare(instance, dialog, dc)) {
    return;
  }
  const MemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) {
    return;
  }
  const Selection selected(memory.get(), stretched_.get());
  // gdi32's form of TransparentBlt: msimg32 is not a known DLL and is not imported.
  GdiTransparentBlt(dc, place_.x, place_.y, place_.width, place_.height, memory.get(), 0, 0,
                    place_.width, place_.height, LOGO_TRANSPARENT);
}
