#include "platform/win32/win32_hid_transport.h"

#include <setupapi.h>

#include <cstddef>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/hid_library.h"
#include "platform/win32/scoped_handle.h"
#include "protocol/unit_filter.h"
#include "protocol/unit_report.h"

namespace {

struct DeviceInfoSetTraits {
  using Handle = HDEVINFO;
  static void Close(Handle handle) { SetupDiDestroyDeviceInfoList(handle); }
};
using DeviceInfoSet = ScopedHandle<DeviceInfoSetTraits>;

// Preparsed data is freed through hid.dll, so its owner keeps the library's function.
class PreparsedData {
 public:
  PreparsedData(const HidLibrary& hid, PHIDP_PREPARSED_DATA data) : hid_(hid), data_(data) {}
  ~PreparsedData() { hid_.FreePreparsedData(data_); }
  PreparsedData(const PreparsedData&) = delete;
  PreparsedData& operator=(const PreparsedData&) = delete;
  PHIDP_PREPARSED_DATA get() const { return data_; }

 private:
  const HidLibrary& hid_;
  PHIDP_PREPARSED_DATA data_;
};

HANDLE AsHandle(DeviceHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// One overlapped write. It owns the event and the OVERLAPPED, and it never lets them (or
// the caller's buffer) go while the system may still write to them: a transfer that outlives its
// time-out is cancelled and its completion awaited.
class OverlappedTransfer {
 public:
  explicit OverlappedTransfer(HANDLE file)
      : file_(file), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    overlapped_.hEvent = event_.get();
  }
  ~OverlappedTransfer() {
    if (pending_) {
      CancelAndAwait();
    }
  }
  OverlappedTransfer(const OverlappedTransfer&) = delete;
  OverlappedTransfer& operator=(const OverlappedTransfer&) = delete;

  bool Write(const void* data, DWORD length, DWORD timeoutMs) {
    if (!event_) {
      return false;
    }
    return Finish(WriteFile(file_, data, length, nullptr, &overlapped_), timeoutMs);
  }

 private:
  bool Finish(BOOL started, DWORD timeoutMs) {
    if (!started && GetLastError() != ERROR_IO_PENDING) {
      return false;
    }
    pending_ = true;
    const DWORD waited = WaitForSingleObject(event_.get(), timeoutMs);
    if (waited != WAIT_OBJECT_0) {
      const DWORD error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
      // A transfer that completed while being cancelled did happen, and counts.
      if (CancelAndAwait()) {
        return true;
      }
      SetLastError(error);
      return false;
    }
    pending_ = false;
    DWORD transferred = 0;
    return GetOverlappedResult(file_, &overlapped_, &transferred, FALSE) != FALSE;
  }

  bool CancelAndAwait() {
    CancelIoEx(file_, &overlapped_);
    DWORD transferred = 0;
    const BOOL completed = GetOverlappedResult(file_, &overlapped_, &transferred, TRUE);
    pending_ = false;
    return completed != FALSE;
  }

  HANDLE file_;
  KernelObject event_;
  OVERLAPPED overlapped_{};
  bool pending_ = false;
};

// SetupAPI's HID interfaces in their enumeration order.
class InterfaceWalk final : public HidInterfaceWalk {
 public:
  InterfaceWalk(const HidLibrary& hid, HDEVINFO interfaces, const GUID& hidClass)
      : hid_(hid), interfaces_(interfaces), hidClass_(hidClass) {}

  bool Next() override {
    for (;;) {
      SP_DEVICE_INTERFACE_DATA entry{};
      entry.cbSize = sizeof(entry);
      // Fails for whatever reason, normally because there is no further interface.
      if (!SetupDiEnumDeviceInterfaces(interfaces_, nullptr, &hidClass_, index_++, &entry)) {
        return false;
      }
      if (ReadPath(entry)) {
        return true;
      }
    }
  }

  bool OpenCurrent() override {
    // Every HID interface is opened for reading and writing before its attributes are read: the
    // attributes come from the device handle, and a unit must be writable to be of any use.
    // Overlapped, so that a read or write can be given up after a time-out.
    file_.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OVERLAPPED, nullptr));
    return file_.valid();
  }

  std::optional<UsbIds> ReadIds() override {
    HIDD_ATTRIBUTES attributes{};
    attributes.Size = sizeof(attributes);
    if (!hid_.GetAttributes(file_.get(), &attributes)) {
      return std::nullopt;
    }
    return UsbIds{attributes.VendorID, attributes.ProductID};
  }

  void CloseCurrent() override { file_.reset(); }

  OpenedDevice TakeCurrent(std::uint16_t productId) override {
    return {reinterpret_cast<DeviceHandle>(file_.release()), path_, productId};
  }

 private:
  // The interface's path; false when its detail cannot be read (the walk then skips it).
  bool ReadPath(SP_DEVICE_INTERFACE_DATA& entry) {
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(interfaces_, &entry, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
      return false;
    }
    const auto buffer = std::make_unique<std::byte[]>(required);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!SetupDiGetDeviceInterfaceDetailW(interfaces_, &entry, detail, required, nullptr,
                                          nullptr)) {
      return false;
    }
    const std::size_t pathRoom =
        (required - offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath)) / sizeof(wchar_t);
    path_.assign(detail->DevicePath, wcsnlen(detail->DevicePath, pathRoom));
    return true;
  }

  const HidLibrary& hid_;
  HDEVINFO interfaces_;
  GUID hidClass_;
  DWORD index_ = 0;
  std::wstring path_;
  KernelObject file_;
};

}  // namespace

RequestResult Win32HidTransport::FindAndOpen(OpenedDevice& out) {
  GUID hidClass;
  hid_.GetHidGuid(&hidClass);
  const DeviceInfoSet interfaces(
      SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
  if (!interfaces) {
    return {RESULT_NO_DEVICE};
  }
  InterfaceWalk walk(hid_, interfaces.get(), hidClass);
  return {FindFirstUnit(walk, out)};
}

IoResult Win32HidTransport::GetReportLengths(DeviceHandle handle, ReportLengths& out) {
  PHIDP_PREPARSED_DATA raw = nullptr;
  if (!hid_.GetPreparsedData(AsHandle(handle), &raw)) {
    return IoResult::Failure(GetLastError());
  }
  const PreparsedData preparsed(hid_, raw);
  HIDP_CAPS caps{};
  // HidP_GetCaps sets no last error; its status is the system's answer.
  const NTSTATUS status = hid_.GetCaps(preparsed.get(), &caps);
  if (status != HIDP_STATUS_SUCCESS) {
    return IoResult::Failure(static_cast<std::uint32_t>(status));
  }
  out.output = caps.OutputReportByteLength;
  out.input = caps.InputReportByteLength;
  reads_[handle].inputLength = out.input;
  return IoResult::Success();
}

PostedRead* Win32HidTransport::ReadOf(DeviceHandle handle, std::size_t fallbackLength) {
  UnitReads& reads = reads_[handle];
  if (!reads.read) {
    const std::size_t length = reads.inputLength != 0 ? reads.inputLength : fallbackLength;
    if (length == 0) {
      return nullptr;
    }
    reads.read = std::make_unique<PostedRead>(AsHandle(handle), length);
  }
  return reads.read.get();
}

IoResult Win32HidTransport::WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) {
  // The HID class driver fails a write that is not exactly the output report length with the
  // report ID first, which is why the link hands over the whole report and nothing else.
  // The reply's read goes out first. Wine's HID class driver can strand a read that reaches it
  // while the reply is being queued, so the read must wait there before the unit can answer.
  // Should it fail to start, the read after the write starts it again and reports why.
  if (PostedRead* read = ReadOf(handle, 0)) {
    (void)read->Post();
  }
  OverlappedTransfer transfer(AsHandle(handle));
  if (transfer.Write(report.data(), static_cast<DWORD>(report.size()), transferTimeoutMs_)) {
    return IoResult::Success();
  }
  return IoResult::Failure(GetLastError());
}

IoResult Win32HidTransport::ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) {
  // ReadFile puts the delivered report's ID into byte 0; storing the unit's input report ID
  // there first leaves the byte the reply rules expect even when fewer bytes arrive.
  if (!buffer.empty()) {
    buffer[0] = REPORT_ID_IN;
  }
  PostedRead* read = ReadOf(handle, buffer.size());
  if (read == nullptr) {
    return IoResult::Failure(ERROR_INVALID_PARAMETER);
  }
  if (!read->Post()) {
    return IoResult::Failure(GetLastError());
  }
  const PostedRead::Outcome outcome = read->Wait(buffer, transferTimeoutMs_);
  if (outcome == PostedRead::Outcome::Failed) {
    return IoResult::Failure(GetLastError());
  }
  // A silent unit's read is given up; one that completed while being cancelled did arrive, and
  // counts.
  if (outcome == PostedRead::Outcome::TimedOut && !read->Cancel(buffer)) {
    return IoResult::Failure(ERROR_TIMEOUT);
  }
  // The next report (normally the next request's reply) finds a read already waiting.
  (void)read->Post();
  return IoResult::Success();
}

ListenResult Win32HidTransport::Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                                       std::uint32_t timeoutMs) {
  PostedRead* read = ReadOf(handle, buffer.size());
  if (read == nullptr) {
    return ListenResult::Failure(ERROR_INVALID_PARAMETER);
  }
  if (!read->Post()) {
    return ListenResult::Failure(GetLastError());
  }
  switch (read->Wait(buffer, timeoutMs)) {
    case PostedRead::Outcome::TimedOut:
      return ListenResult::Quiet();
    case PostedRead::Outcome::Done:
      (void)read->Post();
      return ListenResult::Heard();
    case PostedRead::Outcome::Failed:
      break;
  }
  return ListenResult::Failure(GetLastError());
}

void Win32HidTransport::CloseDevice(DeviceHandle handle) {
  // The posted read is cancelled and over before its handle goes.
  reads_.erase(handle);
  KernelObject file(AsHandle(handle));
}
