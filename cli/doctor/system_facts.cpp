#include "cli/doctor/system_facts.h"

#if defined(__linux__)
#include <sys/sysmacros.h>  // major(), minor(); sys/types.h has them elsewhere
#endif

#include <charconv>
#include <sstream>

namespace {

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base = 10) {
  const char* end = text.data() + text.size();
  const auto [at, error] = std::from_chars(text.data(), end, value, base);
  return !text.empty() && error == std::errc() && at == end;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t at = text.find(separator, start);
    parts.push_back(text.substr(start, at == std::string_view::npos ? at : at - start));
    if (at == std::string_view::npos) {
      return parts;
    }
    start = at + 1;
  }
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
    text.pop_back();
  }
  return text;
}

std::string NameOf(const std::vector<GroupEntry>& entries, unsigned id) {
  for (const GroupEntry& entry : entries) {
    if (entry.id == id) {
      return entry.name;
    }
  }
  return std::to_string(id);
}

}  // namespace

std::optional<HidDeviceName> ParseHidDeviceName(const std::string& name) {
  // BBBB:VVVV:PPPP.NNNN
  if (name.size() < 16 || name[4] != ':' || name[9] != ':' || name[14] != '.') {
    return std::nullopt;
  }
  HidDeviceName parsed;
  unsigned instance = 0;
  if (!ParseNumber(std::string_view(name).substr(0, 4), parsed.bus, 16) ||
      !ParseNumber(std::string_view(name).substr(5, 4), parsed.vendor, 16) ||
      !ParseNumber(std::string_view(name).substr(10, 4), parsed.product, 16) ||
      !ParseNumber(std::string_view(name).substr(15), instance, 16)) {
    return std::nullopt;
  }
  return parsed;
}

std::vector<FileLock> ParseProcLocks(const std::string& text) {
  std::vector<FileLock> locks;
  for (const std::string& line : Lines(text)) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:1071 0 EOF"; a blocked waiter's line has "->" after
    // the number and holds nothing yet.
    std::istringstream in(line);
    std::string number, kind, mode, access, pid, file;
    if (!(in >> number >> kind >> mode >> access >> pid >> file) || kind == "->") {
      continue;
    }
    const auto parts = Split(file, ':');
    FileLock lock;
    if (parts.size() != 3 || !ParseNumber(std::string_view(pid), lock.pid) ||
        !ParseNumber(parts[0], lock.major, 16) || !ParseNumber(parts[1], lock.minor, 16) ||
        !ParseNumber(parts[2], lock.inode)) {
      continue;
    }
    locks.push_back(lock);
  }
  return locks;
}

std::optional<std::vector<AclEntry>> ParsePosixAcl(std::span<const std::uint8_t> value) {
  // A little-endian header (version 2), then entries of tag (2 bytes), permissions (2), id (4).
  constexpr std::size_t HEADER = 4;
  constexpr std::size_t ENTRY = 8;
  const auto u16 = [&](std::size_t at) {
    return static_cast<std::uint16_t>(value[at] | (value[at + 1] << 8));
  };
  if (value.size() < HEADER || (value.size() - HEADER) % ENTRY != 0 || u16(0) != 2 || u16(2) != 0) {
    return std::nullopt;
  }
  std::vector<AclEntry> entries;
  for (std::size_t at = HEADER; at < value.size(); at += ENTRY) {
    entries.push_back({u16(at), u16(at + 2),
                       static_cast<std::uint32_t>(u16(at + 4)) |
                           (static_cast<std::uint32_t>(u16(at + 6)) << 16)});
  }
  return entries;
}

std::vector<std::string> ParseUdevTags(const std::string& database) {
  std::vector<std::string> tags;
  for (const std::string& line : Lines(database)) {
    if (line.starts_with("G:") || line.starts_with("Q:")) {
      tags.push_back(line.substr(2));
    }
  }
  return tags;
}

std::vector<GroupEntry> ParseGroupFile(const std::string& text) {
  std::vector<GroupEntry> entries;
  for (const std::string& line : Lines(text)) {
    const auto fields = Split(line, ':');
    GroupEntry entry;
    if (fields.size() < 4 || fields[0].empty() || !ParseNumber(fields[2], entry.id)) {
      continue;
    }
    entry.name = std::string(fields[0]);
    // In /etc/group the fourth field lists the members; /etc/passwd's is a group id.
    if (fields.size() == 4) {
      for (const std::string_view member : Split(fields[3], ',')) {
        if (!member.empty()) {
          entry.members.emplace_back(member);
        }
      }
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

SystemFacts GatherSystemFacts(const SystemTree& tree, std::uint16_t vendorId,
                              const std::vector<std::string>& ruleFiles) {
  SystemFacts facts;
  facts.ruleFiles = ruleFiles;
  for (const std::string& rule : ruleFiles) {
    if (tree.Exists(rule)) {
      facts.installedRule = rule;
      break;
    }
  }
  const std::vector<GroupEntry> groups = ParseGroupFile(tree.Read("/etc/group").value_or(""));
  const std::vector<GroupEntry> users = ParseGroupFile(tree.Read("/etc/passwd").value_or(""));
  for (const GroupEntry& group : groups) {
    if (group.name == "plugdev") {
      facts.plugdev = group;
    }
  }
  const std::vector<FileLock> locks = ParseProcLocks(tree.Read("/proc/locks").value_or(""));

  for (const std::string& name : tree.List("/sys/bus/hid/devices")) {
    const auto parsed = ParseHidDeviceName(name);
    // The units the program looks for: the maker's vendor ID, product 1 or 2, on USB.
    if (!parsed || parsed->bus != 0x0003 || parsed->vendor != vendorId ||
        (parsed->product != 1 && parsed->product != 2)) {
      continue;
    }
    UnitFacts unit;
    unit.hidDevice = name;
    unit.product = parsed->product;
    const std::string device = "/sys/bus/hid/devices/" + name;
    unit.driver = tree.LinkName(device + "/driver");
    const std::vector<std::string> nodes = tree.List(device + "/hidraw");
    if (!nodes.empty()) {
      unit.hidraw = nodes.front();
      unit.nodePath = "/dev/" + nodes.front();
      unit.node = tree.Stat(unit.nodePath);
    }
    if (unit.node) {
      unit.ownerName = NameOf(users, unit.node->owner);
      unit.groupName = NameOf(groups, unit.node->group);
      if (const auto acl = tree.Attribute(unit.nodePath, "system.posix_acl_access")) {
        unit.acl = ParsePosixAcl(*acl).value_or(std::vector<AclEntry>{});
      }
      const std::string numbers =
          Trimmed(tree.Read(device + "/hidraw/" + *unit.hidraw + "/dev").value_or(""));
      if (!numbers.empty()) {
        if (const auto database = tree.Read("/run/udev/data/c" + numbers)) {
          unit.udevTags = ParseUdevTags(*database);
        }
      }
      for (const FileLock& lock : locks) {
        if (lock.inode == unit.node->inode && lock.major == major(unit.node->fileSystem) &&
            lock.minor == minor(unit.node->fileSystem)) {
          const std::string program =
              Trimmed(tree.Read("/proc/" + std::to_string(lock.pid) + "/comm").value_or("?"));
          unit.holders.emplace_back(lock.pid, program);
        }
      }
    }
    facts.units.push_back(std::move(unit));
  }
  return facts;
}
