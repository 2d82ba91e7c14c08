#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

// Linux publishes each hidraw node's report descriptor as
// <sysfsRoot>/<node>/device/report_descriptor (sysfsRoot is /sys/class/hidraw; tests point it at
// a tree of their own).
inline constexpr char HIDRAW_SYSFS_ROOT[] = "/sys/class/hidraw";
// The kernel's own limit for a report descriptor.
inline constexpr std::size_t MAX_REPORT_DESCRIPTOR_BYTES = 4096;

// The descriptor of the hidraw node `devicePath` names (/dev/hidrawN: the node is the last path
// component). False with errno set when it cannot be read, including a path that names no node.
bool ReadHidrawReportDescriptor(std::string_view sysfsRoot, std::string_view devicePath,
                                std::vector<std::uint8_t>& out);
