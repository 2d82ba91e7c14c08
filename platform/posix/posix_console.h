#pragma once

#include "platform/posix/console.h"
#include "platform/posix/scoped_fd.h"

// The console on the process's standard streams.
class PosixConsole final : public Console {
 public:
  bool Out(std::string_view bytes) override;
  void Err(std::string_view bytes) override;
  bool OutputLost() const override { return outputError_ != 0; }
  std::string OutputError() const override;
  int ProgressColumns() const override;
  bool CanAsk() override;
  void Ask(std::string_view bytes) override;
  std::optional<std::string> ReadLine() override;

 private:
  int outputError_ = 0;
  // The controlling terminal, opened for questions when the error stream goes elsewhere.
  ScopedFd terminal_;
};
