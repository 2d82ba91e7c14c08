#include "platform/posix/posix_unit_claims.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/scoped_fd.h"

namespace {

// Holds the lock for as long as it keeps the descriptor it was taken on.
class LockedDescriptor final : public UnitClaim {
 public:
  explicit LockedDescriptor(ScopedFd fd) : fd_(std::move(fd)) {}

 private:
  ScopedFd fd_;
};

ClaimResult Failed(int error) {
  ClaimResult result;
  result.outcome = ClaimOutcome::Failed;
  result.osError = static_cast<std::uint32_t>(error);
  return result;
}

}  // namespace

std::string PosixUnitClaims::LockFileFor(const DevicePath& path) const {
  std::string name = lockFolder_ + "/pelora-update-";
  for (const char c : path) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    name += plain ? c : '_';
  }
  return name + ".lock";
}

ClaimResult PosixUnitClaims::Claim(const DevicePath& path) {
  ScopedFd fd;
  if (!path.empty() && path.front() == '/') {
    // Opened for reading only and never read: hidraw gives this descriptor copies of the unit's
    // replies too, but drops them once its queue is full, so it holds nobody up.
    fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  } else {
    fd.reset(::open(LockFileFor(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (fd) {
      // Lockable by every user's copy of the program, whatever this one's umask.
      (void)::fchmod(fd.get(), 0666);
    }
  }
  if (!fd) {
    return Failed(errno);
  }
  if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      ClaimResult busy;
      busy.outcome = ClaimOutcome::Busy;
      return busy;
    }
    return Failed(errno);
  }
  ClaimResult claimed;
  claimed.outcome = ClaimOutcome::Claimed;
  claimed.claim = std::make_unique<LockedDescriptor>(std::move(fd));
  return claimed;
}
