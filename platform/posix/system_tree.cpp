#include "platform/posix/system_tree.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace {

// The kernel caps what a sysfs attribute shows at a page; proc files here are small too. A
// bound keeps a strange file from filling memory.
constexpr std::size_t MAX_FILE_BYTES = 1 << 20;
constexpr std::size_t MAX_ATTRIBUTE_BYTES = 64 * 1024;

}  // namespace

std::string SystemTree::Below(const std::string& path) const {
  if (root_.empty() || root_ == "/") {
    return path;
  }
  return root_ + path;
}

std::optional<std::string> SystemTree::Read(const std::string& path) const {
  std::ifstream file(Below(path), std::ios::binary);
  if (!file) {
    return std::nullopt;
  }
  std::string text;
  char buffer[4096];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(file.gcount()));
    if (text.size() > MAX_FILE_BYTES) {
      return std::nullopt;
    }
  }
  return text;
}

std::vector<std::string> SystemTree::List(const std::string& path) const {
  std::vector<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(Below(path), error), end; !error && it != end;
       it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool SystemTree::Exists(const std::string& path) const {
  return ::access(Below(path).c_str(), F_OK) == 0;
}

std::optional<FileFacts> SystemTree::Stat(const std::string& path) const {
  struct stat facts {};
  if (::stat(Below(path).c_str(), &facts) != 0) {
    return std::nullopt;
  }
  return FileFacts{facts.st_uid, facts.st_gid, facts.st_mode, facts.st_dev, facts.st_ino};
}

std::optional<std::string> SystemTree::LinkName(const std::string& path) const {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::read_symlink(Below(path), error);
  if (error) {
    return std::nullopt;
  }
  return target.filename().string();
}

std::optional<std::vector<std::uint8_t>> SystemTree::Attribute(const std::string& path,
                                                               const std::string& name) const {
  std::vector<std::uint8_t> value(MAX_ATTRIBUTE_BYTES);
#if defined(__APPLE__)
  const ssize_t size =
      ::getxattr(Below(path).c_str(), name.c_str(), value.data(), value.size(), 0, 0);
#else
  const ssize_t size = ::getxattr(Below(path).c_str(), name.c_str(), value.data(), value.size());
#endif
  if (size < 0) {
    return std::nullopt;
  }
  value.resize(static_cast<std::size_t>(size));
  return value;
}

UserFacts CurrentUser() {
  UserFacts user;
  user.uid = ::getuid();
  user.groups.push_back(::getgid());
  const int count = ::getgroups(0, nullptr);
  if (count > 0) {
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    groups.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    user.groups.insert(user.groups.end(), groups.begin(), groups.end());
  }
  if (const passwd* entry = ::getpwuid(user.uid)) {
    user.name = entry->pw_name;
  } else {
    user.name = std::to_string(user.uid);
  }
  return user;
}
