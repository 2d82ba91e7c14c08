#include "platform/posix/monotonic_os_services.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC, the clock the waits use

TEST(MonotonicWait, NeverEndsBeforeItsTimeAndKeepsErrno) {
  MonotonicOsServices os;
  for (const std::uint32_t ms : {0u, 1u, 2u, 3u, 7u, 20u}) {
    for (int round = 0; round < 3; ++round) {
      errno = 4321;
      const Clock::time_point start = Clock::now();
      os.Wait(ms);
      const Clock::duration waited = Clock::now() - start;
      EXPECT_EQ(errno, 4321) << ms << " ms";
      EXPECT_GE(waited, std::chrono::milliseconds(ms));
    }
  }
  EXPECT_EQ(os.LastOsError(), 4321u);
}

void IgnoreSignal(int) {}

TEST(MonotonicWait, SignalsDuringTheWaitNeitherEndItEarlyNorChangeErrno) {
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

  MonotonicOsServices os;
  errno = 77;
  const Clock::time_point start = Clock::now();
  os.Wait(60);
  const Clock::duration waited = Clock::now() - start;
  const int errorAfter = errno;
  done = true;
  storm.join();
  sigaction(SIGUSR1, &previous, nullptr);

  EXPECT_GT(sent.load(), 10);
  EXPECT_GE(waited, std::chrono::milliseconds(60));
  EXPECT_EQ(errorAfter, 77);
}

TEST(MonotonicWait, RecordsEachOvershootOnlyWhileAsked) {
  MonotonicOsServices os;
  os.Wait(1);
  EXPECT_TRUE(os.overshoots().empty());

  os.RecordOvershoots(true);
  for (const std::uint32_t ms : {0u, 2u, 5u}) {
    const Clock::time_point start = Clock::now();
    os.Wait(ms);
    const Clock::duration waited = Clock::now() - start;
    ASSERT_FALSE(os.overshoots().empty());
    // The overshoot is what the wait took beyond its deadline: never negative, and within what
    // the caller saw beyond the time asked for.
    EXPECT_GE(os.overshoots().back().count(), 0);
    EXPECT_LE(os.overshoots().back(), waited - std::chrono::milliseconds(ms));
  }
  EXPECT_EQ(os.overshoots().size(), 3u);

  os.RecordOvershoots(false);
  os.Wait(1);
  EXPECT_EQ(os.overshoots().size(), 3u);
  os.ClearOvershoots();
  EXPECT_TRUE(os.overshoots().empty());
}

}  // namespace
