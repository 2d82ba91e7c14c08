#pragma once

#include <windows.h>

#include "platform/win32/scoped_handle.h"
#include "protocol/waiter.h"

// Waits that end as close after their deadline as Windows allows, never before it.
class Win32Waiter final : public Waiter {
 public:
  Win32Waiter();
  void Wait(std::uint32_t milliseconds) override;

  // How the waits are made on this system, for tests and diagnostics.
  enum class WaitMethod { HighResolutionTimer, Timer, Sleep };
  WaitMethod method() const { return method_; }

 private:
  KernelObject timer_;
  WaitMethod method_ = WaitMethod::Sleep;
  LONGLONG frequency_ = 1;
};
