#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The file owner, group, mode and identity of one file, as stat(2) gives them.
struct FileFacts {
  uid_t owner = 0;
  gid_t group = 0;
  mode_t mode = 0;
  dev_t fileSystem = 0;  // st_dev: the file system the file lives on
  ino_t inode = 0;
};

// Who runs the program: what the kernel checks a node's owner, group and mode against.
struct UserFacts {
  uid_t uid = 0;
  std::vector<gid_t> groups;  // the primary group and the supplementary ones
  std::string name;           // for the fix lines ("sudo adduser NAME plugdev")
};

// The system's own files (/sys, /proc, /dev, /etc, /usr, /run) read below a root folder: "/" for
// the program, a tree of a test's making in the host tests. Reads only; every path given is
// absolute as on the system ("/proc/locks") and is looked up below the root.
class SystemTree {
 public:
  SystemTree(std::string root, UserFacts user) : root_(std::move(root)), user_(std::move(user)) {}

  // The whole file (sysfs and proc files are small), or nullopt when it cannot be read.
  std::optional<std::string> Read(const std::string& path) const;
  // The names in a folder, sorted; empty when it cannot be read.
  std::vector<std::string> List(const std::string& path) const;
  bool Exists(const std::string& path) const;
  std::optional<FileFacts> Stat(const std::string& path) const;
  // The last component of a symlink's target (a sysfs "driver" link names the driver so).
  std::optional<std::string> LinkName(const std::string& path) const;
  // The raw value of an extended attribute (the node's ACL, "system.posix_acl_access"); nullopt
  // when it has none or it cannot be read.
  std::optional<std::vector<std::uint8_t>> Attribute(const std::string& path,
                                                     const std::string& name) const;
  const UserFacts& user() const { return user_; }

 private:
  std::string Below(const std::string& path) const;

  std::string root_;
  UserFacts user_;
};

// The user running this process (real uid, its groups, its name from the password database).
UserFacts CurrentUser();
