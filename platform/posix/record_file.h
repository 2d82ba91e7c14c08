#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t RECORD_FILE_LIMIT_BYTES = 1024 * 1024;

// Where the command line keeps its update records: $XDG_STATE_HOME/pelora-update/updates.jsonl,
// or ~/.local/state/… when XDG_STATE_HOME is unset or not absolute (as the base directory rules
// say). Empty when neither gives a place. The arguments are the variables' values or null.
std::string RecordFilePath(const char* xdgStateHome, const char* home);

// A file of whole lines that two programs may append to at once: each line goes in one write
// with O_APPEND, so lines never interleave. Past `limitBytes` the file becomes `<path>.1` (the one
// older file, replacing the previous one) and a new file begins.
class RecordFile {
 public:
  explicit RecordFile(std::string path, std::size_t limitBytes = RECORD_FILE_LIMIT_BYTES)
      : path_(std::move(path)), limitBytes_(limitBytes) {}

  const std::string& path() const { return path_; }
  // Creates the file and its folders as needed, appends `line` and flushes it to the disk.
  // 0, or the errno of the call that failed (ENOENT for an empty path).
  int Append(std::string_view line) const;

 private:
  std::string path_;
  std::size_t limitBytes_;
};
