// Small pieces every part of the driver uses: the clock, failures and bounded waits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <source_location>
#include <string>
#include <vector>

namespace e2e {

// Milliseconds on the performance counter since the driver started.
double NowMs();

// A scenario stops at the first failure that makes going on pointless (test code only); the
// test that runs it reports the reason as a fatal failure at `where`.
struct ScenarioAbort {
  std::string reason;
  std::source_location where;
};

std::string Narrow(const std::wstring& w);
// Shows control characters and non-ASCII so that text differences are visible in a log.
std::string Printable(const std::wstring& w);

// The failed checks of one scenario. Inside a GoogleTest test each is reported there at once, at
// the place of the check (the demo, which runs no test, only collects them).
class Checks {
 public:
  using Where = std::source_location;

  void Expect(bool ok, const std::string& what, Where where = Where::current());
  void ExpectEq(const std::wstring& actual, const std::wstring& expected, const std::string& what,
                Where where = Where::current());
  void ExpectEq(std::uint64_t actual, std::uint64_t expected, const std::string& what,
                Where where = Where::current());
  [[noreturn]] void Abort(const std::string& reason, Where where = Where::current());
  const std::vector<std::string>& failures() const { return failures_; }

 private:
  std::vector<std::string> failures_;
};

// Polls `ready` every `pollMs` until it holds; on time-out the scenario aborts with `what`.
void WaitUntil(Checks& checks, double timeoutMs, const std::string& what,
               const std::function<bool()>& ready, DWORD pollMs = 10,
               Checks::Where where = Checks::Where::current());

}  // namespace e2e
