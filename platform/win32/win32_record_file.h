#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "update/update_record.h"

// Where the Windows program keeps its update records: updates.jsonl in the folder
// TALVERO\pelora-updater of %LOCALAPPDATA%. Empty when LOCALAPPDATA is not set.
std::wstring Win32RecordFilePath();

// The update records on Windows: each line appended in one write to a file opened for appending
// only, so two copies of the program never interleave lines. Past `limitBytes` the file becomes
// `<path>.1` (replacing the older one) and a new file begins. A record that cannot be written is
// lost quietly: the dialog stays as it is, and the update's outcome is shown as always.
class Win32RecordFile final : public UpdateRecordSink {
 public:
  explicit Win32RecordFile(std::wstring path, std::size_t limitBytes = 1024 * 1024)
      : path_(std::move(path)), limitBytes_(limitBytes) {}

  void Append(std::string_view line) override;
  // GetLastError of the last Append that failed; 0 when it succeeded.
  unsigned long lastError() const { return lastError_; }

 private:
  std::wstring path_;
  std::size_t limitBytes_;
  unsigned long lastError_ = 0;
};

// The time of day for the records, from the system clock.
class Win32WallClock final : public WallClock {
 public:
  std::int64_t UtcMilliseconds() override;
};
