// The test driver's side of the hidapi stand-in: a simulated HID bus served over a Unix socket
// from threads inside the test process. Programming units are played by sim::SimulatedUnit;
// devices can be plugged, unplugged and denied while a program runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/posix/scoped_fd.h"
#include "protocol/vendor.h"
#include "sim/simulated_unit.h"

namespace standin {

struct DevicePlan {
  // Empty: the lowest free hidrawN in the bus's own node folder, as the kernel numbers nodes;
  // the bus makes a file there for it, which a program can open and lock like a node.
  std::string path;
  std::uint16_t vendorId = MAKER_VENDOR_ID;
  std::uint16_t productId = 2;
  bool isUnit = true;  // false: another HID device, which must never get a request
  // Both include the report-ID byte; the report descriptor is built from them.
  std::uint32_t inputReportLength = 65;
  std::uint32_t outputReportLength = 65;
  std::optional<std::vector<std::uint8_t>> descriptor;  // served instead of the built one
  bool descriptorReadable = true;  // false: the descriptor request fails with EIO
  bool permissionDenied = false;   // open fails with EACCES (no udev rule for the node)
  bool busy = false;               // open fails with EBUSY
  int collections = 1;             // enumeration lists the node once per top-level collection
  sim::UnitConfig unit;
  std::vector<sim::Fault> faults;
};

// Which build of the stand-in library a program loads.
enum class StandinLibrary {
  Current,    // hidapi 0.14 and later: hid_get_report_descriptor exported
  Hidapi013,  // Debian 12's 0.13: no hid_get_report_descriptor
};

using Environment = std::vector<std::pair<std::string, std::string>>;

class StandinBus {
 public:
  StandinBus();  // serves a fresh socket in a private temporary folder
  ~StandinBus();
  StandinBus(const StandinBus&) = delete;
  StandinBus& operator=(const StandinBus&) = delete;

  const std::string& socketPath() const { return socketPath_; }
  // Where the bus makes its device nodes (its own /dev).
  std::string nodeFolder() const { return folder_ + "/dev"; }
  // HIDAPI_STANDIN_SOCKET and LD_LIBRARY_PATH (the stand-in's folder first) for a program that
  // is to meet this bus.
  Environment ProgramEnvironment(StandinLibrary library = StandinLibrary::Current) const;

  // Adds a device at the end of the enumeration order; returns its path.
  std::string Plug(const DevicePlan& plan);
  // Takes the device off the bus: enumeration no longer lists it, opening it fails with
  // ENOENT, and the program's open handles fail their next read or write as on a vanished node.
  void Unplug(const std::string& path);
  void SetPermissionDenied(const std::string& path, bool denied);

  // Runs `use` on the unit at `path` (present or unplugged) under the bus lock.
  void WithUnit(const std::string& path, const std::function<void(sim::SimulatedUnit&)>& use);
  std::vector<sim::RecordedRequest> Requests(const std::string& path);
  std::vector<std::uint8_t> Flash(const std::string& path);
  // Connections to the device that are open now, and opens it has granted in all.
  int OpenConnections(const std::string& path) const;
  int OpensGranted(const std::string& path) const;
  // What the program did against the rules of the bus: reports of the wrong length, requests to
  // a device that is not a unit, malformed messages.
  std::vector<std::string> Problems() const;
  // Milliseconds since the bus started: the time base of the units' request traces.
  std::uint64_t NowMs() const;

 private:
  struct Device;
  struct Connection;

  void Serve();
  bool Handle(Connection& connection, const std::vector<std::uint8_t>& request,
              std::vector<std::uint8_t>& reply);
  Device* FindPresent(const std::string& path) const;
  Device* FindAny(const std::string& path) const;
  void EndConnectionsTo(const Device& device);
  void Problem(std::string what);

  std::string folder_;
  std::string socketPath_;
  ScopedFd listener_;
  ScopedFd wakeRead_;
  ScopedFd wakeWrite_;
  std::uint64_t startNs_ = 0;

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Device>> devices_;  // every device ever plugged, in plug order
  std::vector<std::unique_ptr<Connection>> connections_;
  std::vector<std::string> problems_;
  std::thread server_;
};

// The folder holding a stand-in library build (libhidapi-hidraw.so.0).
std::string StandinLibraryDir(StandinLibrary library);

}  // namespace standin
