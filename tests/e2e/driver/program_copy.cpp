#include "tests/e2e/driver/program_copy.h"

#include <cstdio>

namespace e2e {

std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path) {
  std::vector<std::uint8_t> bytes;
  if (FILE* f = _wfopen(path.c_str(), L"rb")) {
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (f == nullptr)
    return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

ProgramCopy::ProgramCopy(Session& s, const std::wstring& tag, const std::wstring& fileName)
    : outer_(s) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"e2e-" + tag + L"-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder_.c_str(), nullptr);
  path_ = folder_ + L"\\" + fileName;
  if (!CopyFileW(s.settings().exePath.c_str(), path_.c_str(), FALSE))
    s.checks().Abort("cannot copy the program to " + Narrow(path_));
  // Its own name gives the copy its own Wine settings; they are those of every run.
  Program::ConfigureWine(path_, true);
}

ProgramCopy::~ProgramCopy() {
  DeleteFileW(path_.c_str());
  RemoveDirectoryW(folder_.c_str());
}

void ProgramCopy::Run(const std::string& name, const std::function<void(Session& run)>& body) {
  RunSettings settings = outer_.settings();
  settings.exePath = path_;
  Session run(settings, name);
  try {
    body(run);
  } catch (const ScenarioAbort& abort) {
    outer_.checks().Expect(false, name + " aborted: " + abort.reason, abort.where);
  }
  run.TearDown();
}

}  // namespace e2e
