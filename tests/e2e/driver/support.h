// Small pieces every part of the driver uses: the clock, RAII handles, failures and bounded waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Milliseconds on the performance counter since the driver started.
double NowMs();

// A scenario stops at the first failure that makes going on pointless (test code only).
struct ScenarioAbort {
  std::string reason;
};

std::string Narrow(const std::wstring& w);
// Shows control characters and non-ASCII so that text differences are visible in a log.
std::string Printable(const std::wstring& w);

// Collects the failed checks of one scenario.
class Checks {
 public:
  void Expect(bool ok, const std::string& what) {
    if (!ok)
      failures_.push_back(what);
  }
  void ExpectEq(const std::wstring& actual, const std::wstring& expected, const std::string& what);
  void ExpectEq(std::uint64_t actual, std::uint64_t expected, const std::string& what);
  [[noreturn]] void Abort(const std::string& reason);
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  std::vector<std::string> failures_;
};

// Polls `ready` every `pollMs` until it holds; on time-out the scenario aborts with `what`.
void WaitUntil(Checks& checks, double timeoutMs, const std::string& what,
               const std::function<bool()>& ready, DWORD pollMs = 10);

}  // namespace e2e
