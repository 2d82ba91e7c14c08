#pragma once

#include "platform/posix/console.h"

// The console on the process's standard streams.
class PosixConsole final : public Console {
 public:
  void Out(std::wstring_view text) override;
  void Err(std::wstring_view text) override;
  bool OutputIsTerminal() const override;
  bool InputIsTerminal() const override;
  std::optional<std::string> ReadLine() override;
};
