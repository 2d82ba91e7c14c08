#include "tests/e2e/driver/sim_bus.h"

#include <cstdio>

namespace e2e {

namespace {

// Two listening slots per device, so that the pipe can be opened again at once after a close
// (the program opens, closes and reopens the same path during one scan).
constexpr int kSlotsPerDevice = 2;

// Waits for an overlapped operation or for stop; false when stopped (the I/O is cancelled and
// awaited first, so the buffer stays valid until it is done).
bool AwaitIo(HANDLE pipe, OVERLAPPED& ov, HANDLE stop, DWORD& transferred, DWORD& error) {
  HANDLE events[2] = {ov.hEvent, stop};
  DWORD which = WaitForMultipleObjects(2, events, FALSE, INFINITE);
  if (which != WAIT_OBJECT_0) {
    CancelIoEx(pipe, &ov);
    GetOverlappedResult(pipe, &ov, &transferred, TRUE);
    return false;
  }
  error = GetOverlappedResult(pipe, &ov, &transferred, FALSE) ? ERROR_SUCCESS : GetLastError();
  return true;
}

}  // namespace

BusDeviceServer::BusDeviceServer(DevicePlan plan, std::wstring path)
    : plan_(std::move(plan)),
      path_(std::move(path)),
      unit_(sim::MakeUnit(plan_)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  for (int i = 0; i < kSlotsPerDevice; ++i) {
    phases_.push_back(std::make_unique<std::atomic<const char*>>("starting"));
    slots_.emplace_back([this, &phase = *phases_.back()] { Slot(phase); });
  }
  // Back only once a pipe instance listens: an arrival announced earlier could find nothing to
  // open (seen under load). WaitNamedPipeW fails at once while no instance exists yet, hence the
  // pause between tries; the deadline bounds them all.
  const double deadline = NowMs() + 5000;
  while (!WaitNamedPipeW(path_.c_str(), 1)) {
    if (NowMs() > deadline) {
      Problem("no pipe instance listened within 5 s of plugging the device");
      break;
    }
    Sleep(1);
  }
}

BusDeviceServer::~BusDeviceServer() {
  // SimBus destroys only a server whose threads have ended; this join is for any other owner.
  SetEvent(stop_.get());
  for (std::thread& t : slots_) {
    if (t.joinable())
      t.join();
  }
}

bool BusDeviceServer::Stop(double timeoutMs) {
  SetEvent(stop_.get());
  const double deadline = NowMs() + timeoutMs;
  auto ended = [this] {
    for (const auto& phase : phases_) {
      if (phase->load() != nullptr)
        return false;
    }
    return true;
  };
  while (!ended() && NowMs() < deadline)
    Sleep(5);  // polls the threads' phases; the bound is the deadline above
  if (!ended()) {
    std::string stuck;
    for (const auto& phase : phases_) {
      if (const char* what = phase->load())
        stuck += std::string(stuck.empty() ? "" : "; ") + what;
    }
    Problem("pipe thread(s) still busy " + std::to_string(static_cast<int>(timeoutMs)) +
            " ms after the device was stopped: " + stuck);
    return false;
  }
  for (std::thread& t : slots_) {
    if (t.joinable())
      t.join();
  }
  return true;
}

void BusDeviceServer::Problem(const std::string& what) {
  std::lock_guard<std::mutex> lock(mutex_);
  problems_.push_back(plan_.name + ": " + what);
}

std::vector<std::string> BusDeviceServer::WireProblems() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return problems_;
}

std::vector<sim::RecordedRequest> BusDeviceServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unit_ ? unit_->requests() : std::vector<sim::RecordedRequest>{};
}

std::size_t BusDeviceServer::RequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unit_ ? unit_->requests().size() : 0;
}

std::vector<std::uint8_t> BusDeviceServer::Flash() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unit_ ? unit_->flash() : std::vector<std::uint8_t>{};
}

bool BusDeviceServer::Locked() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unit_ && unit_->locked();
}

bool BusDeviceServer::WriteProtected() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unit_ && unit_->writeProtected();
}

void BusDeviceServer::Slot(std::atomic<const char*>& phase) {
  struct Ended {
    std::atomic<const char*>& phase;
    ~Ended() { phase = nullptr; }
  } ended{phase};
  KernelObject event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  while (WaitForSingleObject(stop_.get(), 0) != WAIT_OBJECT_0) {
    phase = "waiting for the program to open the device";
    KernelObject pipe(CreateNamedPipeW(path().c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                       PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr));
    if (!pipe.valid()) {
      Problem("CreateNamedPipeW failed with " + std::to_string(GetLastError()));
      return;
    }
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    ResetEvent(event.get());
    bool connected = false;
    if (ConnectNamedPipe(pipe.get(), &ov)) {
      connected = true;
    } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
      connected = true;
    } else if (GetLastError() == ERROR_IO_PENDING) {
      DWORD n = 0, error = 0;
      connected = AwaitIo(pipe.get(), ov, stop_.get(), n, error) && error == ERROR_SUCCESS;
    }
    if (!connected)
      continue;
    ++connected_;
    ++totalConnections_;
    Serve(pipe.get(), ov, phase);
    --connected_;
    DisconnectNamedPipe(pipe.get());
  }
}

void BusDeviceServer::Serve(HANDLE pipe, OVERLAPPED& ov, std::atomic<const char*>& phase) {
  std::vector<std::uint8_t> request(4096);
  std::vector<std::uint8_t> reply(plan_.inputReportLength);
  for (;;) {
    phase = "waiting for a request";
    ResetEvent(ov.hEvent);
    DWORD n = 0, error = ERROR_SUCCESS;
    if (!ReadFile(pipe, request.data(), static_cast<DWORD>(request.size()), nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING) {
      return;  // the program closed its handle
    }
    if (!AwaitIo(pipe, ov, stop_.get(), n, error))
      return;
    if (error != ERROR_SUCCESS)
      return;  // closed or cancelled by the program
    if (!unit_) {
      Problem("a request was written to a device that is not a programming unit");
      continue;
    }
    if (n != plan_.outputReportLength) {
      Problem("request of " + std::to_string(n) + " bytes, output report length is " +
              std::to_string(plan_.outputReportLength));
    }
    sim::SimulatedUnit::ReadOutcome outcome;
    bool taken;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      taken = unit_->Write(std::span<const std::uint8_t>(request.data(), n),
                           static_cast<std::uint64_t>(NowMs()));
      std::fill(reply.begin(), reply.end(), std::uint8_t{0});
      // The reply's time is when it became readable: the program cannot have read it earlier.
      outcome = taken ? unit_->Read(reply, static_cast<std::uint64_t>(NowMs()))
                      : sim::SimulatedUnit::ReadOutcome::Failed;
    }
    if (outcome == sim::SimulatedUnit::ReadOutcome::Failed) {
      return;  // breaking the pipe makes the program's pending read fail
    }
    if (outcome == sim::SimulatedUnit::ReadOutcome::Silent)
      continue;
    phase = "writing a reply";
    ResetEvent(ov.hEvent);
    if (!WriteFile(pipe, reply.data(), static_cast<DWORD>(reply.size()), nullptr, &ov) &&
        GetLastError() != ERROR_IO_PENDING) {
      return;
    }
    if (!AwaitIo(pipe, ov, stop_.get(), n, error) || error != ERROR_SUCCESS)
      return;
    if (plan_.endAfterRequests != 0 && RequestCount() >= plan_.endAfterRequests) {
      // The reply is read before the disconnect would discard it. The one wait here that the
      // stop event cannot end: Stop bounds it and names it.
      phase = "waiting for the program to read the last reply before the connection ends";
      FlushFileBuffers(pipe);
      return;
    }
  }
}

SimBus::SimBus(std::wstring name) : name_(std::move(name)), keyPath_(BusKeyPath(name_)) {
  RegDeleteTreeW(HKEY_CURRENT_USER, keyPath_.c_str());
  Publish();
}

SimBus::~SimBus() {
  StopAll();
  RegDeleteTreeW(HKEY_CURRENT_USER, keyPath_.c_str());
}

std::string SimBus::StopOrAbandon(std::unique_ptr<BusDeviceServer>& device) {
  if (!device || device->Stop())
    return {};
  // Its threads still use it: it is let go (a leak in a failing run) rather than destroyed.
  const std::string problem = device->WireProblems().back();
  std::printf("    (device abandoned: %s)\n", problem.c_str());
  std::fflush(stdout);
  device.release();
  abandoned_.push_back(problem);
  return problem;
}

std::vector<std::string> SimBus::StopAll() {
  for (auto* list : {&present_, &gone_}) {
    for (auto& d : *list)
      StopOrAbandon(d);
  }
  return abandoned_;
}

std::wstring SimBus::PathFor(const DevicePlan& plan) const {
  wchar_t ids[64];
  std::swprintf(ids, 64, L"hid#vid_%04x&pid_%04x#", static_cast<unsigned>(plan.vendorId),
                static_cast<unsigned>(plan.productId));
  return std::wstring(L"\\\\.\\pipe\\") + ids + L"e2e-" + name_ + L"-" + FromUtf8(plan.name) +
         L"#{4d1e55b2-f16f-11cf-88cb-001111000030}";
}

BusDeviceServer& SimBus::Plug(const DevicePlan& plan) {
  present_.push_back(std::make_unique<BusDeviceServer>(plan, PathFor(plan)));
  Publish();
  return *present_.back();
}

void SimBus::Unplug(BusDeviceServer& device) {
  for (auto it = present_.begin(); it != present_.end(); ++it) {
    if (it->get() == &device) {
      gone_.push_back(std::move(*it));
      present_.erase(it);
      Publish();
      StopOrAbandon(gone_.back());
      return;
    }
  }
}

void SimBus::Publish() {
  std::vector<sim::Listing> listings;
  for (const auto& d : present_)
    listings.push_back(sim::ListingOf(d->plan(), Narrow(d->path())));
  const std::vector<std::uint8_t> devices = sim::MessageWriter().Entries(listings).bytes();
  HKEY key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) == ERROR_SUCCESS) {
    RegSetValueExW(key, L"Devices", 0, REG_BINARY, devices.data(),
                   static_cast<DWORD>(devices.size()));
    RegCloseKey(key);
  }
}

DWORD SimBus::ReadDword(const wchar_t* name) const {
  DWORD value = 0, size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                   &size) != ERROR_SUCCESS) {
    return 0;
  }
  return value;
}

DWORD SimBus::OpenSets() const {
  return ReadDword(L"OpenSets");
}
DWORD SimBus::OpenPreparsed() const {
  return ReadDword(L"OpenPreparsed");
}

std::wstring SimBus::Misuse() const {
  DWORD size = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(), L"Misuse", RRF_RT_REG_SZ, nullptr, nullptr,
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(HKEY_CURRENT_USER, keyPath_.c_str(), L"Misuse", RRF_RT_REG_SZ, nullptr,
                   text.data(), &size) != ERROR_SUCCESS) {
    return {};
  }
  text.resize(wcslen(text.c_str()));
  return text;
}

}  // namespace e2e
