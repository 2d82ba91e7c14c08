// The simulated HID bus: every present device is a named pipe served here, programming units are
// played by sim::SimulatedUnit, and the device list is published for the hid/setupapi doubles.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/scoped_handle.h"
#include "sim/device_plan.h"
#include "sim/simulated_unit.h"
#include "tests/e2e/driver/support.h"
#include "tests/e2e/hid_bus.h"

namespace e2e {

// Scenarios plan their devices as every rig does; the name must be unique on a bus, as the
// device's pipe name holds it.
using sim::DevicePlan;

// One device on the bus and the pipe server that carries its reports.
class BusDeviceServer {
 public:
  BusDeviceServer(DevicePlan plan, std::wstring path);
  ~BusDeviceServer();
  BusDeviceServer(const BusDeviceServer&) = delete;
  BusDeviceServer& operator=(const BusDeviceServer&) = delete;

  const DevicePlan& plan() const { return plan_; }
  const std::wstring& path() const { return path_; }
  // Copies of the unit's state, taken under its lock.
  std::vector<sim::RecordedRequest> Requests() const;
  std::size_t RequestCount() const;
  std::vector<std::uint8_t> Flash() const;
  bool Locked() const;
  bool WriteProtected() const;
  int OpenConnections() const { return connected_.load(); }
  int TotalConnections() const { return totalConnections_.load(); }
  // Problems seen on the wire (odd lengths, requests to a device that is no unit).
  std::vector<std::string> WireProblems() const;

  // Ends every connection and listener; the program's handle then fails like a vanished device.
  // Waits at most `timeoutMs` for the pipe threads: false (and a wire problem naming what each
  // stuck thread was doing) when one has not ended; the object must then outlive its threads.
  bool Stop(double timeoutMs = 10000);

 private:
  void Slot(std::atomic<const char*>& phase);
  void Serve(HANDLE pipe, OVERLAPPED& ov, std::atomic<const char*>& phase);
  void Problem(const std::string& what);

  DevicePlan plan_;
  std::wstring path_;
  std::shared_ptr<sim::SimulatedUnit> unit_;
  mutable std::mutex mutex_;
  std::vector<std::string> problems_;
  KernelObject stop_;
  std::atomic<int> connected_{0};
  std::atomic<int> totalConnections_{0};
  std::vector<std::thread> slots_;
  // What each slot thread is doing, for a failure that names a stuck one; null once it ended.
  std::vector<std::unique_ptr<std::atomic<const char*>>> phases_;
};

class SimBus {
 public:
  explicit SimBus(std::wstring name);
  ~SimBus();
  SimBus(const SimBus&) = delete;
  SimBus& operator=(const SimBus&) = delete;

  const std::wstring& name() const { return name_; }

  // Adds a device at the end of the enumeration order (serves its pipe before publishing it).
  // The plan must be one this bus can play (sim::Unplayable).
  BusDeviceServer& Plug(const DevicePlan& plan);
  // Takes the device off the list, then ends its pipe.
  void Unplug(BusDeviceServer& device);
  // Ends every device's pipe; what did not end in time, now or when a device was unplugged (see
  // BusDeviceServer::Stop), one a line.
  std::vector<std::string> StopAll();

  // What the doubles reported back.
  std::wstring Misuse() const;
  DWORD OpenSets() const;
  DWORD OpenPreparsed() const;

 private:
  std::wstring PathFor(const DevicePlan& plan) const;
  void Publish();
  DWORD ReadDword(const wchar_t* name) const;
  // Stops `device`; one whose threads are stuck is let go, never destroyed under them, and what
  // they were doing is returned (empty when it stopped).
  std::string StopOrAbandon(std::unique_ptr<BusDeviceServer>& device);

  std::wstring name_;
  std::wstring keyPath_;
  std::vector<std::unique_ptr<BusDeviceServer>> present_;
  std::vector<std::unique_ptr<BusDeviceServer>> gone_;  // kept for their traces
  std::vector<std::string> abandoned_;  // devices whose threads did not end, and why
};

}  // namespace e2e
