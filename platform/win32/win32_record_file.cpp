#include "platform/win32/win32_record_file.h"

#include <windows.h>

#include "platform/win32/scoped_handle.h"

namespace {

using ScopedFile = ScopedHandle<KernelObjectTraits>;

// Every folder on the way to the file; those that exist are left as they are.
bool CreateFolders(const std::wstring& path) {
  for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
       slash = path.find(L'\\', slash + 1)) {
    const std::wstring folder = path.substr(0, slash);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
      return false;
    }
  }
  return true;
}

// FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end of the file as one
// piece, whoever else appends. Others may read, append and rename it meanwhile.
ScopedFile OpenForAppend(const std::wstring& path) {
  return ScopedFile(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

std::wstring Win32RecordFilePath() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    return {};
  }
  return std::wstring(folder, length) + L"\\TALVERO\\pelora-updater\\updates.jsonl";
}

void Win32RecordFile::Append(std::string_view line) {
  lastError_ = 0;
  if (path_.empty()) {
    lastError_ = ERROR_ENVVAR_NOT_FOUND;
    return;
  }
  if (!CreateFolders(path_)) {
    lastError_ = GetLastError();
    return;
  }
  ScopedFile file = OpenForAppend(path_);
  if (!file) {
    lastError_ = GetLastError();
    return;
  }
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0 &&
      static_cast<std::uint64_t>(size.QuadPart) + line.size() > limitBytes_) {
    file.reset();
    // Another copy may have rotated it first; then the new file is simply used.
    MoveFileExW(path_.c_str(), (path_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
    file = OpenForAppend(path_);
    if (!file) {
      lastError_ = GetLastError();
      return;
    }
  }
  DWORD written = 0;
  if (!WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr)) {
    lastError_ = GetLastError();
    return;
  }
  if (written != line.size()) {
    lastError_ = ERROR_DISK_FULL;
    return;
  }
  FlushFileBuffers(file.get());
}

std::int64_t Win32WallClock::UtcMilliseconds() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  // 100 ns ticks since 1601-01-01; 11644473600 s lie between that and 1970-01-01.
  return static_cast<std::int64_t>(ticks / 10000) - 11644473600000LL;
}
