#pragma once

#include <windows.h>

#include <cstdint>
#include <span>
#include <vector>

#include "platform/win32/scoped_handle.h"

// One overlapped read of an input report, posted ahead of need and owned until it is over. It
// owns the event, the OVERLAPPED and the buffer, and never lets them go while the system may
// still write to them: destroyed while posted, it cancels the read and awaits its end.
//
// Posting the read before the request is written is what keeps a reply from being lost on Wine's
// HID class driver, which can leave a read pending beside a report that has already arrived when
// the two meet (see the README).
class PostedRead {
 public:
  enum class Outcome { Done, TimedOut, Failed };

  PostedRead(HANDLE file, std::size_t reportLength);
  ~PostedRead();
  PostedRead(const PostedRead&) = delete;
  PostedRead& operator=(const PostedRead&) = delete;

  bool posted() const { return posted_; }
  std::size_t reportLength() const { return buffer_.size(); }

  // Starts the read unless one is posted already; false (GetLastError set) when it cannot start.
  bool Post();
  // Waits up to `timeoutMs` for the posted read. Done: its bytes are copied into `out` (no more
  // than either holds) and the read is over. TimedOut: the read stays posted, so a report that
  // comes later still lands in it. Failed: the read is over; GetLastError tells why.
  Outcome Wait(std::span<std::uint8_t> out, DWORD timeoutMs);
  // Cancels the posted read and awaits its end. True when it completed all the same (its bytes
  // then copied into `out`), false with GetLastError from the cancelled read otherwise.
  bool Cancel(std::span<std::uint8_t> out);

 private:
  bool Collect(std::span<std::uint8_t> out, BOOL waitForIt);

  HANDLE file_;
  KernelObject event_;
  OVERLAPPED overlapped_{};
  std::vector<std::uint8_t> buffer_;
  bool posted_ = false;
};
