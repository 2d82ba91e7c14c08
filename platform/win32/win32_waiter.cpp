#include "platform/win32/win32_waiter.h"

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

constexpr LONGLONG HUNDRED_NS_PER_SECOND = 10'000'000;
// Timers wake late (about half a millisecond with the high-resolution timer), so the timer is set
// to end this much before the deadline and the rest is yielded away: 2,037 block waits then add
// microseconds each, not a second in all.
constexpr LONGLONG TIMER_MARGIN_100NS = 10'000;

LONGLONG Now() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

// a * b / c rounded up, without overflowing for waits of any 32-bit length.
LONGLONG ScaleUp(LONGLONG a, LONGLONG b, LONGLONG c) {
  return (a / c) * b + ((a % c) * b + c - 1) / c;
}

}  // namespace

Win32Waiter::Win32Waiter() {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  frequency_ = frequency.QuadPart;
  // The high-resolution timer exists from Windows 10 1803; older systems refuse the flag.
  timer_.reset(CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                      TIMER_ALL_ACCESS));
  if (timer_) {
    method_ = WaitMethod::HighResolutionTimer;
    return;
  }
  timer_.reset(CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS));
  method_ = timer_ ? WaitMethod::Timer : WaitMethod::Sleep;
}

void Win32Waiter::Wait(std::uint32_t milliseconds) {
  const LONGLONG deadline = Now() + ScaleUp(milliseconds, frequency_, 1000);
  for (;;) {
    const LONGLONG remaining = deadline - Now();
    if (remaining <= 0) {
      break;
    }
    const LONGLONG remaining100ns = ScaleUp(remaining, HUNDRED_NS_PER_SECOND, frequency_);
    if (remaining100ns <= TIMER_MARGIN_100NS) {
      SwitchToThread();
      continue;
    }
    if (timer_) {
      LARGE_INTEGER due;
      due.QuadPart = -(remaining100ns - TIMER_MARGIN_100NS);  // negative: relative to now
      if (SetWaitableTimer(timer_.get(), &due, 0, nullptr, nullptr, FALSE) &&
          WaitForSingleObject(timer_.get(), INFINITE) == WAIT_OBJECT_0) {
        continue;
      }
    }
    Sleep(static_cast<DWORD>((remaining100ns - TIMER_MARGIN_100NS) / 10'000));
  }
}
