#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/posix/system_tree.h"

// What `doctor` reads from the system about the programming units, before it judges anything.

// A HID device as the kernel names it in /sys/bus/hid/devices: "BUS:VENDOR:PRODUCT.INSTANCE" in
// upper-case hex ("0003:1234:0002.0001"; bus 0003 is USB).
struct HidDeviceName {
  std::uint16_t bus = 0;
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
};
std::optional<HidDeviceName> ParseHidDeviceName(const std::string& name);

// One lock of /proc/locks ("1: FLOCK  ADVISORY  WRITE 1234 00:05:1071 0 EOF"): who holds it and
// on which file (the file system's major and minor number and the inode).
struct FileLock {
  pid_t pid = 0;
  unsigned major = 0;
  unsigned minor = 0;
  std::uint64_t inode = 0;
};
// Lines that do not parse (a kernel's other format, a truncated file) are skipped.
std::vector<FileLock> ParseProcLocks(const std::string& text);

// One entry of a POSIX ACL as the kernel stores it in system.posix_acl_access.
struct AclEntry {
  std::uint16_t tag = 0;          // ACL_USER_OBJ 1, ACL_USER 2, ACL_GROUP_OBJ 4, ACL_GROUP 8, ...
  std::uint16_t permissions = 0;  // 4 read, 2 write, 1 execute
  std::uint32_t id = 0;           // the uid or gid of a named user or group
};
inline constexpr std::uint16_t ACL_TAG_USER = 0x02;
inline constexpr std::uint16_t ACL_TAG_GROUP = 0x08;
// nullopt for a value that is not a version-2 ACL of whole entries.
std::optional<std::vector<AclEntry>> ParsePosixAcl(std::span<const std::uint8_t> value);

// The tags udev set on a device, from its database file (/run/udev/data/cMAJOR:MINOR: lines
// "G:tag", and "Q:tag" for the current ones).
std::vector<std::string> ParseUdevTags(const std::string& database);

// A group as /etc/group lists it ("plugdev:x:46:alice,bob").
struct GroupEntry {
  std::string name;
  unsigned id = 0;
  std::vector<std::string> members;
};
// Every well-formed line of /etc/group, or of /etc/passwd (name and uid; no members).
std::vector<GroupEntry> ParseGroupFile(const std::string& text);

// One programming unit seen on the HID bus, and what the system made of it.
struct UnitFacts {
  std::string hidDevice;  // "0003:1234:0002.0001"
  std::uint16_t product = 0;
  std::optional<std::string> driver;  // the driver bound to it ("hid-generic")
  std::optional<std::string> hidraw;  // its hidraw node's name ("hidraw0")
  std::string nodePath;               // "/dev/hidraw0" when there is a node
  std::optional<FileFacts> node;      // the node's stat, when it exists
  std::string ownerName;              // of the node, from /etc/passwd (else the number)
  std::string groupName;              // of the node, from /etc/group (else the number)
  std::vector<AclEntry> acl;          // the node's named users and groups
  std::optional<std::vector<std::string>> udevTags;  // nullopt: udev keeps no database here
  std::vector<std::pair<pid_t, std::string>>
      holders;  // processes locking the node, and their names
};

struct SystemFacts {
  std::vector<UnitFacts> units;
  std::vector<std::string> ruleFiles;  // where the rule is installed when it is
  std::optional<std::string> installedRule;
  std::optional<GroupEntry> plugdev;  // from /etc/group
};

// Reads every unit of the maker's vendor ID (products 1 and 2) on the HID bus, its driver, node,
// ACL, udev tags and lock holders, and where the rule is installed.
SystemFacts GatherSystemFacts(const SystemTree& tree, std::uint16_t vendorId,
                              const std::vector<std::string>& ruleFiles);
