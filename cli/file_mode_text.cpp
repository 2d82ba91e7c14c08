#include "cli/file_mode_text.h"

#include <sys/stat.h>

std::wstring FileModeText(mode_t mode) {
  std::wstring text = S_ISCHR(mode) ? L"c" : S_ISDIR(mode) ? L"d" : L"-";
  const wchar_t letters[] = L"rwx";
  for (int bit = 8; bit >= 0; --bit) {
    text += (mode & (1u << bit)) != 0 ? letters[(8 - bit) % 3] : L'-';
  }
  return text;
}
