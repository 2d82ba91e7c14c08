#include "platform/posix/monotonic_waiter.h"

#include <time.h>

#include <cerrno>
#include <chrono>

namespace {

constexpr long NS_PER_SECOND = 1'000'000'000L;

timespec Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return now;
}

timespec After(timespec start, std::uint32_t milliseconds) {
  start.tv_sec += static_cast<time_t>(milliseconds / 1000);
  start.tv_nsec += static_cast<long>(milliseconds % 1000) * 1'000'000L;
  if (start.tv_nsec >= NS_PER_SECOND) {
    start.tv_sec += 1;
    start.tv_nsec -= NS_PER_SECOND;
  }
  return start;
}

std::chrono::nanoseconds Between(timespec from, timespec to) {
  return std::chrono::seconds(to.tv_sec - from.tv_sec) +
         std::chrono::nanoseconds(to.tv_nsec - from.tv_nsec);
}

bool Reached(timespec deadline) {
  return Between(deadline, Now()).count() >= 0;
}

}  // namespace

void MonotonicWaiter::Wait(std::uint32_t milliseconds) {
  const timespec deadline = After(Now(), milliseconds);
#if defined(__APPLE__)
  // macOS has no clock_nanosleep: sleep for what is left, again after every interruption.
  while (!Reached(deadline)) {
    const std::chrono::nanoseconds left = Between(Now(), deadline);
    timespec rest{static_cast<time_t>(left.count() / NS_PER_SECOND),
                  static_cast<long>(left.count() % NS_PER_SECOND)};
    nanosleep(&rest, nullptr);
  }
#else
  // An absolute deadline: a signal's EINTR resumes the same wait instead of restarting a
  // relative one, so interruptions neither end it early nor stretch it.
  for (;;) {
    const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr);
    if (result == 0 || (result != EINTR && Reached(deadline))) {
      break;
    }
  }
#endif
}
