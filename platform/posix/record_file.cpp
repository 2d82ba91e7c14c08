#include "platform/posix/record_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/scoped_fd.h"

namespace {

// Every folder on the way to `path`'s file, private to the user as the state directory should
// be; folders that exist are left as they are.
int CreateFolders(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    const std::string folder = path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
      return errno;
    }
  }
  return 0;
}

ScopedFd OpenForAppend(const std::string& path) {
  return ScopedFd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
}

}  // namespace

std::string RecordFilePath(const char* xdgStateHome, const char* home) {
  const std::string tail = "/pelora-update/updates.jsonl";
  if (xdgStateHome != nullptr && xdgStateHome[0] == '/') {
    return xdgStateHome + tail;
  }
  if (home != nullptr && home[0] == '/') {
    return home + std::string("/.local/state") + tail;
  }
  return {};
}

int RecordFile::Append(std::string_view line) const {
  if (path_.empty()) {
    return ENOENT;
  }
  if (const int error = CreateFolders(path_)) {
    return error;
  }
  ScopedFd fd = OpenForAppend(path_);
  if (!fd) {
    return errno;
  }
  // The lock orders a rotation against the other copies' appends; another copy may have
  // rotated between our open and our lock, so the open file must still be the one at the path.
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (::flock(fd.get(), LOCK_EX) != 0) {
      return errno;
    }
    struct stat opened {};
    struct stat named {};
    if (::fstat(fd.get(), &opened) != 0) {
      return errno;
    }
    if (::stat(path_.c_str(), &named) == 0 && named.st_ino == opened.st_ino &&
        named.st_dev == opened.st_dev) {
      // Only a regular file is rotated: a path that is a device or a pipe is written as it is.
      const bool full = S_ISREG(opened.st_mode) && opened.st_size > 0 &&
                        static_cast<std::size_t>(opened.st_size) + line.size() > limitBytes_;
      if (!full) {
        break;
      }
      if (::rename(path_.c_str(), (path_ + ".1").c_str()) != 0) {
        return errno;
      }
    }
    fd = OpenForAppend(path_);
    if (!fd) {
      return errno;
    }
  }
  const ssize_t written = ::write(fd.get(), line.data(), line.size());
  if (written < 0) {
    return errno;
  }
  if (static_cast<std::size_t>(written) != line.size()) {
    return ENOSPC;  // a short write: the disk filled up under the line
  }
  if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS) {
    return errno;  // EINVAL/EROFS: the file is a device or pipe that cannot be synced
  }
  return 0;
}
