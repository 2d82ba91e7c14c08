#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

// Owns one file descriptor; closing it keeps errno as it was, so a failed call's error survives
// the cleanup after it.
class ScopedFd {
 public:
  ScopedFd() = default;
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() { reset(); }

  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  ScopedFd(ScopedFd&& other) noexcept : fd_(other.release()) {}
  ScopedFd& operator=(ScopedFd&& other) noexcept {
    if (this != &other) {
      reset(other.release());
    }
    return *this;
  }

  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  int get() const { return fd_; }

  int release() { return std::exchange(fd_, -1); }
  void reset(int fd = -1) {
    if (fd_ >= 0) {
      const int error = errno;
      ::close(fd_);
      errno = error;
    }
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};
