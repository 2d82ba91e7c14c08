#pragma once

#include "platform/posix/console.h"

// The console on the process's standard streams.
class PosixConsole final : public Console {
 public:
  bool Out(std::wstring_view text) override;
  void Err(std::wstring_view text) override;
  std::wstring OutputError() const override;
  int ProgressColumns() const override;
  bool InputIsTerminal() const override;
  std::optional<std::string> ReadLine() override;

 private:
  int outputError_ = 0;
};
