// One HID device on the kernel's HID bus through /dev/uhid: created with a report descriptor,
// it appears as a hidraw node (and to every HID driver) until it is destroyed.
#pragma once

#include <linux/uhid.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace uhid_unit {

struct DeviceIdentity {
  std::string name;
  std::uint16_t bus = 0;  // BUS_USB for a unit
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  std::vector<std::uint8_t> descriptor;
};

class UhidDevice {
 public:
  UhidDevice() = default;
  ~UhidDevice();  // destroys the device and closes /dev/uhid
  UhidDevice(const UhidDevice&) = delete;
  UhidDevice& operator=(const UhidDevice&) = delete;

  // Opens /dev/uhid and creates the device; false with errno set when either fails.
  bool Create(const DeviceIdentity& identity);
  // Takes the device off the bus (its hidraw node goes) and closes /dev/uhid.
  void Destroy();
  bool present() const { return fd_ >= 0; }

  enum class Wait { Event, Timeout, Failed };
  // Waits up to `timeoutMs` for the kernel's next event for this device.
  Wait NextEvent(uhid_event& event, int timeoutMs);
  // Delivers one input report (report-ID byte first) to every reader of the device.
  bool SendInput(std::span<const std::uint8_t> report);
  // Answers a GET_REPORT or SET_REPORT request with an error: the unit has no such reports.
  bool RefuseReportRequest(const uhid_event& request);

 private:
  bool Send(const uhid_event& event);
  int fd_ = -1;
};

}  // namespace uhid_unit
