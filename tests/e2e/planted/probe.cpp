// Planted beside the program under the name of a DLL it must never take from there: when loaded
// it leaves "<its own path>.loaded" behind, which the driver looks for.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    wchar_t path[MAX_PATH + 16] = {};
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatW(path, L".loaded");
      HANDLE marker = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
      if (marker != INVALID_HANDLE_VALUE)
        CloseHandle(marker);
    }
  }
  return TRUE;
}
