#include "platform/posix/monotonic_waiter.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the clock the waits use

TEST(MonotonicWait, NeverEndsBeforeItsTime) {
  MonotonicWaiter waiter;
  for (const std::uint32_t ms : {0u, 1u, 2u, 3u, 7u, 20u}) {
    for (int round = 0; round < 3; ++round) {
      const Clock::time_point start = Clock::now();
      waiter.Wait(ms);
      const Clock::duration waited = Clock::now() - start;
      EXPECT_GE(waited, std::chrono::milliseconds(ms)) << ms << " ms";
    }
  }
}

void IgnoreSignal(int) {}

TEST(MonotonicWait, SignalsDuringTheWaitDoNotEndItEarly) {
  // A handler without SA_RESTART: every signal interrupts the sleep with EINTR.
  struct sigaction action {};
  action.sa_handler = IgnoreSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  const pthread_t waiter = pthread_self();
  std::atomic<bool> done{false};
  std::atomic<int> sent{0};
  std::thread storm([&] {
    while (!done) {
      pthread_kill(waiter, SIGUSR1);
      ++sent;
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });

  MonotonicWaiter monotonic;
  const Clock::time_point start = Clock::now();
  monotonic.Wait(60);
  const Clock::duration waited = Clock::now() - start;
  done = true;
  storm.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_GT(sent.load(), 10);
  EXPECT_GE(waited, std::chrono::milliseconds(60));
}

}  // namespace
