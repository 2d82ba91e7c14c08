#include "platform/hidapi/sysfs_descriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/posix/scoped_fd.h"

bool ReadHidrawReportDescriptor(std::string_view sysfsRoot, std::string_view devicePath,
                                std::vector<std::uint8_t>& out) {
  const std::size_t slash = devicePath.rfind('/');
  const std::string_view node =
      slash == std::string_view::npos ? devicePath : devicePath.substr(slash + 1);
  if (node.empty() || node == "." || node == "..") {
    errno = ENODEV;
    return false;
  }
  const std::string file =
      std::string(sysfsRoot) + "/" + std::string(node) + "/device/report_descriptor";
  const ScopedFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    return false;
  }
  // One byte more than a descriptor can have, so that an oversized file shows.
  std::vector<std::uint8_t> bytes(MAX_REPORT_DESCRIPTOR_BYTES + 1);
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t n = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      break;
    }
    filled += static_cast<std::size_t>(n);
  }
  if (filled > MAX_REPORT_DESCRIPTOR_BYTES) {
    errno = EFBIG;
    return false;
  }
  bytes.resize(filled);
  out = std::move(bytes);
  return true;
}
