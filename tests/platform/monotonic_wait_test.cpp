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

volatile sig_atomic_t signalsTaken = 0;

void CountSignal(int) {
  signalsTaken = signalsTaken + 1;
}

TEST(MonotonicWait, SignalsDuringTheWaitDoNotEndItEarly) {
  // A handler without SA_RESTART: every signal interrupts the sleep with EINTR.
  struct sigaction action {};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  ASSERT_EQ(sigaction(SIGUSR1, &action, &previous), 0);

  const pthread_t waiter = pthread_self();
  std::atomic<bool> done{false};
  std::thread storm([&] {
    while (!done) {
      pthread_kill(waiter, SIGUSR1);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });

  // On a loaded machine the storm may not run at all during one wait; waits go on until one was
  // interrupted, so the check never depends on how the scheduler shared the cores.
  MonotonicWaiter monotonic;
  bool interrupted = false;
  for (int attempt = 0; attempt < 100 && !interrupted; ++attempt) {
    const sig_atomic_t before = signalsTaken;
    const Clock::time_point start = Clock::now();
    monotonic.Wait(60);
    const Clock::duration waited = Clock::now() - start;
    interrupted = signalsTaken != before;
    EXPECT_GE(waited, std::chrono::milliseconds(60)) << "attempt " << attempt;
  }
  done = true;
  storm.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_TRUE(interrupted) << "no signal came during any of the waits";
}

}  // namespace
