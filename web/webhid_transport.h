#pragma once

#include "protocol/hid_transport.h"

// HidTransport on WebHID (navigator.hid in the worker; the JavaScript half is WorkerHid in
// web/worker_pre.js). WebHID keeps the report ID apart from the data, has no device path, no
// read time-out and no error numbers: the JavaScript half puts the ID back at byte 0 of a read
// and takes it off a write, names each granted device with a stable string, bounds every read to
// 10 s and maps each browser error to a fixed code of its own (web/worker_pre.js), which is the
// failure's OS error.
class WebHidTransport final : public HidTransport {
 public:
  RequestResult FindAndOpen(OpenedDevice& out) override;
  IoResult GetReportLengths(DeviceHandle handle, ReportLengths& out) override;
  IoResult WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) override;
  IoResult ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) override;
  // Every page that has the device open receives every input report: another tab talking to
  // the unit is heard here.
  ListenResult Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                      std::uint32_t timeoutMs) override;
  void CloseDevice(DeviceHandle handle) override;
};
