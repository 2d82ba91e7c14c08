// A copy of the program under test in a folder of its own, as a user might have downloaded it:
// the scenarios that change the program's file or its folder run the copy, never the build's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/e2e/driver/session.h"

namespace e2e {

// The whole content of a file; empty when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::vector<std::uint8_t>& bytes);

class ProgramCopy {
 public:
  // Copies the program of `s` into a new folder in %TEMP% named after `tag`, as `fileName`, with
  // the Wine settings every run of the program gets. Aborts the scenario when it cannot.
  ProgramCopy(Session& s, const std::wstring& tag, const std::wstring& fileName);
  ~ProgramCopy();  // removes the copy, and its folder once the scenario has emptied it
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;

  const std::wstring& folder() const { return folder_; }
  const std::wstring& path() const { return path_; }

  // Runs `body` on the copy in a session of its own. The copy's checks report for themselves; an
  // abort ends only the copy's run and is reported in the outer scenario.
  void Run(const std::string& name, const std::function<void(Session& run)>& body);

 private:
  Session& outer_;
  std::wstring folder_;
  std::wstring path_;
};

}  // namespace e2e
