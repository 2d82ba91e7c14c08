#pragma once

#include "platform/posix/console.h"
#include "platform/posix/scoped_fd.h"

// The console on the process's standard streams.
class PosixConsole final : public Console {
 public:
  bool Out(std::wstring_view text) override;
  void Err(std::wstring_view text) override;
  bool OutputLost() const override { return outputError_ != 0; }
  std::wstring OutputError() const override;
  int ProgressColumns() const override;
  bool CanAsk() override;
  void Ask(std::wstring_view text) override;
  std::optional<std::string> ReadLine() override;

 private:
  int outputError_ = 0;
  // The controlling terminal, opened for questions when the error stream goes elsewhere.
  ScopedFd terminal_;
};
