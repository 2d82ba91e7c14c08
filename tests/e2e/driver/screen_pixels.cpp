#include "tests/e2e/driver/screen_pixels.h"

#include <cstddef>

namespace e2e {

namespace {

// Paints `width` x `height` of `dc` in `background` (0xRRGGBB).
void FillWith(HDC dc, int width, int height, std::uint32_t background) {
  HBRUSH brush =
      CreateSolidBrush(RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF));
  RECT all{0, 0, width, height};
  FillRect(dc, &all, brush);
  DeleteObject(brush);
}

ScreenPixels Capture(HDC source, int left, int top, int width, int height) {
  ScreenPixels shot;
  if (width <= 0 || height <= 0)
    return shot;
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, width, height, source, left, top, SRCCOPY)) {
      GdiFlush();
      shot.width = width;
      shot.height = height;
      const auto* p = static_cast<const std::uint32_t*>(bits);
      shot.pixels.assign(p, p + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      for (std::uint32_t& pixel : shot.pixels)
        pixel &= 0xFFFFFF;
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  return shot;
}

// The pixels of a standard icon drawn as a static control draws it, on `background`.
ScreenPixels DrawnIcon(LPCWSTR which, int width, int height, std::uint32_t background) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, canvas);
  FillWith(memory, width, height, background);
  DrawIconEx(memory, 0, 0, LoadIconW(nullptr, which), 0, 0, 0, nullptr, DI_NORMAL);
  ScreenPixels shot = Capture(memory, 0, 0, width, height);
  SelectObject(memory, old);
  DeleteObject(canvas);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return shot;
}

}  // namespace

std::size_t DifferentPixels(const ScreenPixels& a, const ScreenPixels& b) {
  if (a.pixels.size() != b.pixels.size())
    return SIZE_MAX;
  std::size_t n = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    n += a.pixels[i] != b.pixels[i];
  return n;
}

ScreenPixels DrawnLogo(HMODULE program, int logo, int width, int height, std::uint32_t background) {
  ScreenPixels shot;
  HBITMAP bitmap = LoadBitmapW(program, MAKEINTRESOURCEW(logo));
  BITMAP size{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0 || width <= 0 ||
      height <= 0) {
    if (bitmap != nullptr)
      DeleteObject(bitmap);
    return shot;
  }
  HDC screen = GetDC(nullptr);
  HDC canvasDc = CreateCompatibleDC(screen);
  HDC logoDc = CreateCompatibleDC(screen);
  HBITMAP canvas = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ oldCanvas = SelectObject(canvasDc, canvas);
  HGDIOBJ oldLogo = SelectObject(logoDc, bitmap);
  FillWith(canvasDc, width, height, background);
  if (GdiTransparentBlt(canvasDc, 0, 0, width, height, logoDc, 0, 0, size.bmWidth, size.bmHeight,
                        RGB(0, 255, 0)))
    shot = Capture(canvasDc, 0, 0, width, height);
  SelectObject(logoDc, oldLogo);
  SelectObject(canvasDc, oldCanvas);
  DeleteObject(canvas);
  DeleteObject(bitmap);
  DeleteDC(logoDc);
  DeleteDC(canvasDc);
  ReleaseDC(nullptr, screen);
  return shot;
}

ScreenPixels CaptureScreen(const RECT& r) {
  HDC screen = GetDC(nullptr);
  ScreenPixels shot = Capture(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
  ReleaseDC(nullptr, screen);
  return shot;
}

std::uint32_t Rgb(COLORREF c) {
  return (static_cast<std::uint32_t>(GetRValue(c)) << 16) |
         (static_cast<std::uint32_t>(GetGValue(c)) << 8) | GetBValue(c);
}

InkSpan InkOf(const ScreenPixels& pixels, std::uint32_t background, int inset) {
  InkSpan span;
  for (int x = inset; x < pixels.width - inset; ++x) {
    for (int y = inset; y < pixels.height - inset; ++y) {
      if (pixels.at(x, y) != background) {
        if (span.first < 0)
          span.first = x;
        span.last = x;
        break;
      }
    }
  }
  return span;
}

int InkOfWholeText(const std::wstring& text, int dpi) {
  HFONT font = CreateFontW(-MulDiv(8, dpi, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                           DEFAULT_CHARSET, 0, 0, PROOF_QUALITY, FF_DONTCARE, L"MS Shell Dlg");
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HGDIOBJ oldFont = SelectObject(memory, font);
  SIZE extent{};
  GetTextExtentPoint32W(memory, text.c_str(), static_cast<int>(text.size()), &extent);
  const int margin = 8;
  HBITMAP canvas = CreateCompatibleBitmap(screen, extent.cx + 2 * margin, extent.cy + 2 * margin);
  HGDIOBJ oldBitmap = SelectObject(memory, canvas);
  RECT all{0, 0, extent.cx + 2 * margin, extent.cy + 2 * margin};
  FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetTextColor(memory, RGB(0, 0, 0));
  SetBkMode(memory, TRANSPARENT);
  TextOutW(memory, margin, margin, text.c_str(), static_cast<int>(text.size()));
  const int ink = InkOf(Capture(memory, 0, 0, all.right, all.bottom), 0xFFFFFF, 0).width();
  SelectObject(memory, oldBitmap);
  SelectObject(memory, oldFont);
  DeleteObject(canvas);
  DeleteObject(font);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ink;
}

std::string BoxIcon(HWND box) {
  HWND icon = nullptr;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, L"Static") == 0 &&
        (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
      icon = child;
    }
  }
  if (icon == nullptr)
    return "none";
  RECT r{};
  GetWindowRect(icon, &r);
  const struct {
    const char* name;
    LPCWSTR id;
  } icons[] = {{"error", IDI_ERROR},
               {"warning", IDI_WARNING},
               {"information", IDI_INFORMATION},
               {"question", IDI_QUESTION}};
  // A box answers messages before it has painted: read it again for up to two seconds.
  std::string found = "unreadable";
  for (int attempt = 0; attempt < 20; ++attempt) {
    if (attempt != 0)
      Sleep(100);
    const ScreenPixels shown = CaptureScreen(r);
    if (shown.pixels.empty())
      continue;
    // The icon's corners are transparent: the first pixel is the box's background.
    const std::uint32_t background = shown.at(0, 0);
    std::size_t fewest = SIZE_MAX;
    for (const auto& candidate : icons) {
      const std::size_t d =
          DifferentPixels(shown, DrawnIcon(candidate.id, shown.width, shown.height, background));
      if (d < fewest) {
        fewest = d;
        found = candidate.name;
      }
    }
    // Nearly all of it must match, or it is none of them.
    if (fewest * 10 <= shown.pixels.size())
      return found;
    found = "unknown";
  }
  return found;
}

}  // namespace e2e
