#include "tests/e2e/driver/screenshot.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace e2e {

bool SaveScreenBmp(const std::wstring& path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  if (screen == nullptr)
    return false;
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (memory != nullptr && bitmap != nullptr) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  if (ok) {
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    const DWORD imageBytes = stride * static_cast<DWORD>(height);
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageBytes;
    info.bmiHeader.biSizeImage = imageBytes;
    FILE* f = _wfopen(path.c_str(), L"wb");
    ok = f != nullptr;
    if (ok) {
      ok = std::fwrite(&file, sizeof file, 1, f) == 1 &&
           std::fwrite(&info.bmiHeader, sizeof(BITMAPINFOHEADER), 1, f) == 1 &&
           std::fwrite(bits, 1, imageBytes, f) == imageBytes;
      std::fclose(f);
    }
  }
  if (bitmap != nullptr)
    DeleteObject(bitmap);
  if (memory != nullptr)
    DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

}  // namespace e2e
