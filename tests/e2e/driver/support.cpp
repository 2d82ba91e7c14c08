#include "tests/e2e/driver/support.h"

#include <cstdio>

#include <gtest/gtest.h>

namespace e2e {

double NowMs() {
  static const LARGE_INTEGER start = [] {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
  }();
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart - start.QuadPart) * 1000.0 /
         static_cast<double>(frequency.QuadPart);
}

std::string Narrow(const std::wstring& w) {
  if (w.empty())
    return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                      nullptr);
  return s;
}

std::string Printable(const std::wstring& w) {
  std::wstring out;
  for (wchar_t c : w) {
    if (c == L'\r') {
      out += L"\\r";
    } else if (c == L'\n') {
      out += L"\\n";
    } else if (c < 0x20) {
      wchar_t buf[8];
      std::swprintf(buf, 8, L"\\x%02x", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  std::string quoted(1, '"');
  quoted += Narrow(out);
  quoted += '"';
  return quoted;
}

void Checks::Expect(bool ok, const std::string& what, Where where) {
  if (ok)
    return;
  failures_.push_back(what);
  if (testing::UnitTest::GetInstance()->current_test_info() != nullptr)
    ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line())) << what;
}

void Checks::ExpectEq(const std::wstring& actual, const std::wstring& expected,
                      const std::string& what, Where where) {
  if (actual == expected)
    return;
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
    ++at;
  Expect(false,
         what + ": got " + Printable(actual) + ", expected " + Printable(expected) +
             " (first difference at character " + std::to_string(at) + ")",
         where);
}

void Checks::ExpectEq(std::uint64_t actual, std::uint64_t expected, const std::string& what,
                      Where where) {
  if (actual != expected) {
    Expect(false,
           what + ": got " + std::to_string(actual) + ", expected " + std::to_string(expected),
           where);
  }
}

void Checks::Abort(const std::string& reason, Where where) {
  failures_.push_back(reason);
  throw ScenarioAbort{reason, where};
}

void WaitUntil(Checks& checks, double timeoutMs, const std::string& what,
               const std::function<bool()>& ready, DWORD pollMs, Checks::Where where) {
  const double deadline = NowMs() + timeoutMs;
  for (;;) {
    if (ready())
      return;
    if (NowMs() > deadline) {
      char ms[32];
      std::snprintf(ms, sizeof ms, "%.0f", timeoutMs);
      checks.Abort("timed out after " + std::string(ms) + " ms waiting for " + what, where);
    }
    Sleep(pollMs);  // the polling pace; the deadline above bounds the wait
  }
}

}  // namespace e2e
