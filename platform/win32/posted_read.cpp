#include "platform/win32/posted_read.h"

#include <algorithm>
#include <cstring>

PostedRead::PostedRead(HANDLE file, std::size_t reportLength)
    : file_(file), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), buffer_(reportLength) {}

PostedRead::~PostedRead() {
  if (posted_) {
    const DWORD error = GetLastError();
    (void)Cancel({});
    SetLastError(error);
  }
}

bool PostedRead::Post() {
  if (posted_) {
    return true;
  }
  if (!event_) {
    return false;
  }
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = event_.get();
  ResetEvent(event_.get());
  // A read done at once still signals the event and fills the OVERLAPPED, so both ways end in
  // the same wait.
  if (!ReadFile(file_, buffer_.data(), static_cast<DWORD>(buffer_.size()), nullptr, &overlapped_) &&
      GetLastError() != ERROR_IO_PENDING) {
    return false;
  }
  posted_ = true;
  return true;
}

PostedRead::Outcome PostedRead::Wait(std::span<std::uint8_t> out, DWORD timeoutMs) {
  if (!posted_) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return Outcome::Failed;
  }
  const DWORD waited = WaitForSingleObject(event_.get(), timeoutMs);
  if (waited == WAIT_TIMEOUT) {
    return Outcome::TimedOut;
  }
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = GetLastError();
    if (Cancel(out)) {
      return Outcome::Done;
    }
    SetLastError(error);
    return Outcome::Failed;
  }
  return Collect(out, FALSE) ? Outcome::Done : Outcome::Failed;
}

bool PostedRead::Cancel(std::span<std::uint8_t> out) {
  if (!posted_) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return false;
  }
  CancelIoEx(file_, &overlapped_);
  return Collect(out, TRUE);
}

bool PostedRead::Collect(std::span<std::uint8_t> out, BOOL waitForIt) {
  DWORD transferred = 0;
  const BOOL completed = GetOverlappedResult(file_, &overlapped_, &transferred, waitForIt);
  posted_ = false;
  if (!completed) {
    return false;
  }
  const std::size_t length = std::min<std::size_t>({transferred, buffer_.size(), out.size()});
  if (length != 0) {
    std::memcpy(out.data(), buffer_.data(), length);
  }
  return true;
}
