#include "tests/hidapi_standin/driver/standin_bus.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "tests/hidapi_standin/wire.h"

namespace standin {

namespace {

std::uint64_t MonotonicNs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// A read or write that finds the node gone fails as hidraw does for a removed device.
constexpr std::int32_t NODE_GONE = ENODEV;
// A peer that sends half a message is given this long before its connection is dropped.
constexpr int RECEIVE_TIMEOUT_S = 2;

// The folder holding a stand-in library build (libhidapi-hidraw.so.0).
std::string StandinLibraryDir(StandinLibrary library) {
  return library == StandinLibrary::Current ? HIDAPI_STANDIN_DIR : HIDAPI_STANDIN_0_13_DIR;
}

}  // namespace

struct StandinBus::Device {
  sim::DevicePlan plan;
  std::string path;
  std::shared_ptr<sim::SimulatedUnit> unit;
  bool present = true;
  bool denied = false;
  int opens = 0;
  // Every input report the unit has sent, in order: as hidraw does, each connection open on the
  // device gets each of them, its own reply or another program's.
  std::vector<std::vector<std::uint8_t>> sent;
  bool nodeFile = false;  // the bus made a file at `path` that stands for the device node
};

struct StandinBus::Connection {
  ScopedFd fd;
  std::shared_ptr<Device> device;  // the device this connection opened, if any
  std::size_t received = 0;        // how many of the device's input reports it has read
  bool endAfterReply = false;      // the device vanished while handling the request
  bool closed = false;
};

StandinBus::StandinBus() : startNs_(MonotonicNs()) {
  char folder[] = "/tmp/hidapi-standin-XXXXXX";
  if (mkdtemp(folder) == nullptr) {
    ADD_FAILURE() << "cannot make the bus folder: " << std::strerror(errno);
    return;
  }
  folder_ = folder;
  socketPath_ = folder_ + "/bus.sock";
  // The device nodes live here, as real files that programs can open and lock.
  if (::mkdir((folder_ + "/dev").c_str(), 0755) != 0) {
    ADD_FAILURE() << "cannot make the node folder: " << std::strerror(errno);
  }

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socketPath_.c_str(), sizeof address.sun_path - 1);
  listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  int wake[2];
  if (!listener_ ||
      ::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_.get(), 64) != 0 || ::pipe2(wake, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "cannot serve " << socketPath_ << ": " << std::strerror(errno);
    return;
  }
  wakeRead_.reset(wake[0]);
  wakeWrite_.reset(wake[1]);
  server_ = std::thread([this] { Serve(); });
}

StandinBus::~StandinBus() {
  if (server_.joinable()) {
    const char stop = 1;
    (void)!::write(wakeWrite_.get(), &stop, 1);
    server_.join();
  }
  connections_.clear();
  listener_.reset();
  if (!socketPath_.empty()) {
    ::unlink(socketPath_.c_str());
  }
  for (const auto& device : devices_) {
    if (device->nodeFile) {
      ::unlink(device->path.c_str());
    }
  }
  if (!folder_.empty()) {
    ::rmdir((folder_ + "/dev").c_str());
  }
  if (!folder_.empty()) {
    ::rmdir(folder_.c_str());
  }
}

Environment StandinBus::ProgramEnvironment(StandinLibrary library) const {
  std::string libraryPath = StandinLibraryDir(library);
  if (const char* inherited = std::getenv("LD_LIBRARY_PATH");
      inherited != nullptr && *inherited != '\0') {
    libraryPath += std::string(":") + inherited;
  }
  return {{SOCKET_VARIABLE, socketPath_}, {"LD_LIBRARY_PATH", libraryPath}};
}

std::uint64_t StandinBus::NowMs() const {
  return (MonotonicNs() - startNs_) / 1'000'000;
}

StandinBus::Device* StandinBus::FindPresent(const std::string& path) const {
  for (const auto& device : devices_) {
    if (device->present && device->path == path) {
      return device.get();
    }
  }
  return nullptr;
}

StandinBus::Device* StandinBus::FindAny(const std::string& path) const {
  // The latest device under that path: a node number can be reused after an unplug.
  for (auto it = devices_.rbegin(); it != devices_.rend(); ++it) {
    if ((*it)->path == path) {
      return it->get();
    }
  }
  return nullptr;
}

std::string StandinBus::Plug(const sim::DevicePlan& plan) {
  const std::vector<std::string> unplayable = sim::Unplayable(plan, sim::Rig::Standin);
  for (const std::string& what : unplayable) {
    ADD_FAILURE() << "the stand-in bus cannot play " << what << " (device \"" << plan.name << "\")";
  }
  if (!unplayable.empty()) {
    return {};
  }
  const std::lock_guard lock(mutex_);
  auto device = std::make_shared<Device>();
  device->plan = plan;
  for (int node = 0; device->path.empty(); ++node) {
    const std::string candidate = nodeFolder() + "/hidraw" + std::to_string(node);
    if (FindPresent(candidate) == nullptr) {
      device->path = candidate;
    }
  }
  // Readable and writable by everyone, so that a test's program may open (and lock) it as
  // whichever user it runs.
  ScopedFd node(::open(device->path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0666));
  device->nodeFile = node.valid() && ::fchmod(node.get(), 0666) == 0;
  if (!device->nodeFile) {
    ADD_FAILURE() << "cannot make the node " << device->path << ": " << std::strerror(errno);
  }
  device->denied = plan.accessDenied;
  device->unit = sim::MakeUnit(plan);
  devices_.push_back(device);
  return device->path;
}

void StandinBus::EndConnectionsTo(const Device& device) {
  for (const auto& connection : connections_) {
    if (connection->device.get() == &device) {
      // Shut down, not closed: only the serving thread closes, so no descriptor is reused early.
      ::shutdown(connection->fd.get(), SHUT_RDWR);
    }
  }
}

void StandinBus::Unplug(const std::string& path) {
  const std::lock_guard lock(mutex_);
  Device* device = FindPresent(path);
  if (device == nullptr) {
    ADD_FAILURE() << "unplug: " << path << " is not on the bus";
    return;
  }
  device->present = false;
  if (device->nodeFile) {
    // The kernel removes the node of an unplugged device; descriptors open on it stay valid.
    ::unlink(device->path.c_str());
    device->nodeFile = false;
  }
  EndConnectionsTo(*device);
}

void StandinBus::SetPermissionDenied(const std::string& path, bool denied) {
  const std::lock_guard lock(mutex_);
  if (Device* device = FindPresent(path)) {
    device->denied = denied;
  } else {
    ADD_FAILURE() << "deny: " << path << " is not on the bus";
  }
}

void StandinBus::WithUnit(const std::string& path,
                          const std::function<void(sim::SimulatedUnit&)>& use) {
  const std::lock_guard lock(mutex_);
  Device* device = FindAny(path);
  if (device == nullptr || device->unit == nullptr) {
    ADD_FAILURE() << "no unit was plugged at " << path;
    return;
  }
  use(*device->unit);
}

std::vector<sim::RecordedRequest> StandinBus::Requests(const std::string& path) {
  std::vector<sim::RecordedRequest> requests;
  WithUnit(path, [&](sim::SimulatedUnit& unit) { requests = unit.requests(); });
  return requests;
}

std::vector<std::uint8_t> StandinBus::Flash(const std::string& path) {
  std::vector<std::uint8_t> flash;
  WithUnit(path, [&](sim::SimulatedUnit& unit) { flash = unit.flash(); });
  return flash;
}

int StandinBus::OpenConnections(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  const Device* device = FindAny(path);
  return static_cast<int>(
      std::count_if(connections_.begin(), connections_.end(), [&](const auto& connection) {
        return device != nullptr && !connection->closed && connection->device.get() == device;
      }));
}

int StandinBus::OpensGranted(const std::string& path) const {
  const std::lock_guard lock(mutex_);
  const Device* device = FindAny(path);
  return device != nullptr ? device->opens : 0;
}

std::vector<std::string> StandinBus::Problems() const {
  const std::lock_guard lock(mutex_);
  return problems_;
}

void StandinBus::Problem(std::string what) {
  problems_.push_back(std::move(what));
}

bool StandinBus::Handle(Connection& connection, const std::vector<std::uint8_t>& request,
                        std::vector<std::uint8_t>& reply) {
  sim::MessageReader read(request);
  const auto op = static_cast<Op>(read.U8());
  sim::MessageWriter out;
  Device* device = connection.device.get();

  switch (op) {
    case Op::Enumerate: {
      std::vector<sim::Listing> listed;
      for (const auto& d : devices_) {
        for (int c = 0; d->present && c < d->plan.collections; ++c) {
          listed.push_back(sim::ListingOf(d->plan, d->path, c));
        }
      }
      out.Entries(listed);
      break;
    }

    case Op::Open: {
      const std::string path = read.Str();
      if (!read.ok() || device != nullptr) {
        Problem("open: malformed, or on a connection already open");
        return false;
      }
      Device* target = FindPresent(path);
      std::int32_t error = 0;
      if (target == nullptr) {
        error = ENOENT;
      } else if (target->denied) {
        error = EACCES;
      } else if (target->plan.busy) {
        error = EBUSY;
      }
      out.I32(error);
      if (error == 0) {
        for (const auto& d : devices_) {
          if (d.get() == target) {
            connection.device = d;
          }
        }
        ++target->opens;
        connection.received = target->sent.size();  // a new reader gets what comes from now on
        out.Entry(sim::ListingOf(target->plan, target->path));
      }
      break;
    }

    case Op::Write: {
      const std::vector<std::uint8_t> report = read.Bytes();
      if (!read.ok() || device == nullptr) {
        Problem("write: malformed, or before an open");
        return false;
      }
      const auto written = static_cast<std::uint32_t>(report.size());
      if (!device->present) {
        out.I32(NODE_GONE).U32(0);
      } else if (device->unit == nullptr) {
        Problem(device->path + ": a device that is no unit got a write");
        out.I32(0).U32(written);
      } else if (report.size() != device->plan.outputReportLength) {
        // The Windows HID stack refuses any other length; the product must not rely on hidraw
        // being more lenient.
        Problem(device->path + ": write of " + std::to_string(report.size()) +
                " bytes, output report length " + std::to_string(device->plan.outputReportLength));
        out.I32(EINVAL).U32(0);
      } else if (!device->unit->Write(report, NowMs())) {
        if (device->unit->vanished()) {
          device->present = false;
          connection.endAfterReply = true;
          out.I32(NODE_GONE).U32(0);
        } else {
          out.I32(EIO).U32(0);
        }
      } else {
        out.I32(0).U32(written);
      }
      break;
    }

    case Op::Read: {
      const std::uint32_t length = read.U32();
      if (!read.ok() || device == nullptr) {
        Problem("read: malformed, or before an open");
        return false;
      }
      if (!device->present) {
        out.U8(std::uint8_t(ReadStatus::Failed)).I32(EIO);
        break;
      }
      if (device->unit == nullptr) {
        Problem(device->path + ": a device that is no unit was read");
        out.U8(std::uint8_t(ReadStatus::Silent));
        break;
      }
      if (length < device->plan.inputReportLength) {
        Problem(device->path + ": read into " + std::to_string(length) +
                " bytes, input report length " + std::to_string(device->plan.inputReportLength));
      }
      if (connection.received < device->sent.size()) {
        // A report this connection has not read yet, perhaps another connection's reply.
        std::vector<std::uint8_t> report = device->sent[connection.received++];
        report.resize(std::min<std::size_t>(report.size(), length));
        out.U8(std::uint8_t(ReadStatus::Data)).Bytes(report);
        break;
      }
      std::vector<std::uint8_t> buffer(device->plan.inputReportLength);
      switch (device->unit->Read(buffer, NowMs())) {
        case sim::SimulatedUnit::ReadOutcome::Reply:
          device->sent.push_back(buffer);
          connection.received = device->sent.size();
          buffer.resize(std::min<std::size_t>(buffer.size(), length));
          out.U8(std::uint8_t(ReadStatus::Data)).Bytes(buffer);
          break;
        case sim::SimulatedUnit::ReadOutcome::Failed:
          out.U8(std::uint8_t(ReadStatus::Failed)).I32(EIO);
          break;
        case sim::SimulatedUnit::ReadOutcome::Silent:
          out.U8(std::uint8_t(ReadStatus::Silent));
          break;
      }
      break;
    }

    case Op::Descriptor: {
      if (device == nullptr) {
        Problem("descriptor: before an open");
        return false;
      }
      if (!device->present || !device->plan.descriptorReadable) {
        out.I32(device->present ? EIO : NODE_GONE).Bytes({});
      } else {
        out.I32(0).Bytes(sim::ReportDescriptorOf(device->plan));
      }
      break;
    }

    default:
      Problem("unknown request " + std::to_string(static_cast<int>(op)));
      return false;
  }
  reply = out.bytes();
  return true;
}

void StandinBus::Serve() {
  for (;;) {
    std::vector<pollfd> watch = {{wakeRead_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
    std::vector<Connection*> watched;
    {
      const std::lock_guard lock(mutex_);
      for (const auto& connection : connections_) {
        watch.push_back({connection->fd.get(), POLLIN, 0});
        watched.push_back(connection.get());
      }
    }
    if (::poll(watch.data(), watch.size(), -1) < 0) {
      if (errno == EINTR) {
        continue;
      }
      ADD_FAILURE() << "stand-in bus: poll failed: " << std::strerror(errno);
      return;
    }
    if (watch[0].revents != 0) {
      return;  // the bus is being destroyed
    }
    if ((watch[1].revents & POLLIN) != 0) {
      ScopedFd accepted(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
      if (accepted) {
        const timeval patience{RECEIVE_TIMEOUT_S, 0};
        ::setsockopt(accepted.get(), SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        auto connection = std::make_unique<Connection>();
        connection->fd = std::move(accepted);
        const std::lock_guard lock(mutex_);
        connections_.push_back(std::move(connection));
      }
    }
    for (std::size_t i = 0; i < watched.size(); ++i) {
      if (watch[i + 2].revents == 0) {
        continue;
      }
      Connection& connection = *watched[i];
      std::vector<std::uint8_t> request;
      std::vector<std::uint8_t> reply;
      bool keep = ReceiveMessage(connection.fd.get(), request);
      if (keep) {
        const std::lock_guard lock(mutex_);
        keep = Handle(connection, request, reply);
      }
      if (keep) {
        keep = SendMessage(connection.fd.get(), reply);
      }
      const std::lock_guard lock(mutex_);
      if (connection.endAfterReply && connection.device != nullptr) {
        EndConnectionsTo(*connection.device);
      }
      connection.closed = !keep || connection.endAfterReply;
    }
    const std::lock_guard lock(mutex_);
    std::erase_if(connections_, [](const auto& connection) { return connection->closed; });
  }
}

}  // namespace standin
