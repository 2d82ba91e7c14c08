#include "web/webhid_transport.h"

#include <emscripten.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>

#include "protocol/unit_filter.h"

// Handles are small positive numbers of WorkerHid's table; calls return 0 or an error code.
EM_ASYNC_JS(int, web_hid_list, (), { return await WorkerHid.list(); });
EM_ASYNC_JS(int, web_hid_open, (int index), { return await WorkerHid.open(index); });
EM_JS(int, web_hid_vendor_id, (int handle), { return WorkerHid.vendorId(handle); });
EM_JS(int, web_hid_product_id, (int handle), { return WorkerHid.productId(handle); });
EM_JS(int, web_hid_path_bytes, (int handle), { return lengthBytesUTF8(WorkerHid.path(handle)); });
EM_JS(void, web_hid_path, (int handle, char* out, int size),
      { stringToUTF8(WorkerHid.path(handle), out, size); });
EM_JS(int, web_hid_report_length, (int handle, int output),
      { return WorkerHid.reportLength(handle, output != 0); });
EM_ASYNC_JS(int, web_hid_write, (int handle, const std::uint8_t* bytes, int length),
            { return await WorkerHid.write(handle, HEAPU8.slice(bytes, bytes + length)); });
EM_ASYNC_JS(int, web_hid_read, (int handle, std::uint8_t* buffer, int length),
            { return await WorkerHid.readInto(handle, buffer, length); });
EM_ASYNC_JS(int, web_hid_listen, (int handle, std::uint8_t* buffer, int length, int ms),
            { return await WorkerHid.readInto(handle, buffer, length, ms); });
EM_ASYNC_JS(void, web_hid_close, (int handle), { await WorkerHid.close(handle); });

namespace {

// A read that heard nothing within its time: the worker's code for it (BROWSER_ERROR.timeout in
// web/worker_pre.js, where every browser error code is given).
constexpr std::uint32_t BROWSER_READ_TIMED_OUT = 0xB006;

DevicePath PathOf(int handle) {
  const int bytes = web_hid_path_bytes(handle);
  DevicePath path(static_cast<std::size_t>(bytes) + 1, '\0');
  web_hid_path(handle, path.data(), bytes + 1);
  path.resize(static_cast<std::size_t>(bytes));
  return path;
}

// The devices this origin was granted, in the browser's order.
class WebHidWalk final : public HidInterfaceWalk {
 public:
  explicit WebHidWalk(int count) : count_(count) {}
  ~WebHidWalk() override { CloseCurrent(); }
  WebHidWalk(const WebHidWalk&) = delete;
  WebHidWalk& operator=(const WebHidWalk&) = delete;

  bool Next() override { return ++index_ < count_; }
  bool OpenCurrent() override {
    // A device that cannot be opened (held by another program, say) is passed over.
    handle_ = std::max(web_hid_open(index_), 0);
    return handle_ > 0;
  }
  std::optional<UsbIds> ReadIds() override {
    const int vendorId = web_hid_vendor_id(handle_);
    const int productId = web_hid_product_id(handle_);
    if (vendorId < 0 || productId < 0) {
      return std::nullopt;
    }
    return UsbIds{static_cast<std::uint16_t>(vendorId), static_cast<std::uint16_t>(productId)};
  }
  void CloseCurrent() override {
    if (handle_ > 0) {
      web_hid_close(handle_);
      handle_ = 0;
    }
  }
  OpenedDevice TakeCurrent(std::uint16_t productId) override {
    OpenedDevice device{static_cast<DeviceHandle>(handle_), PathOf(handle_), productId};
    handle_ = 0;
    return device;
  }

 private:
  int count_;
  int index_ = -1;
  int handle_ = 0;
};

int AsJsHandle(DeviceHandle handle) {
  return handle == INVALID_DEVICE_HANDLE || handle > INT_MAX ? 0 : static_cast<int>(handle);
}

IoResult AsIoResult(int error) {
  return error == 0 ? IoResult::Success() : IoResult::Failure(static_cast<std::uint32_t>(error));
}

}  // namespace

RequestResult WebHidTransport::FindAndOpen(OpenedDevice& out) {
  const int count = web_hid_list();
  if (count < 0) {
    return {RESULT_NO_DEVICE};
  }
  WebHidWalk walk(count);
  return {FindFirstUnit(walk, out)};
}

IoResult WebHidTransport::GetReportLengths(DeviceHandle handle, ReportLengths& out) {
  const int input = web_hid_report_length(AsJsHandle(handle), 0);
  const int output = web_hid_report_length(AsJsHandle(handle), 1);
  if (input <= 0 || output <= 0) {
    // Read from the collections WebHID already holds: no browser call failed.
    return IoResult::Failure(0);
  }
  out = {static_cast<std::uint32_t>(input), static_cast<std::uint32_t>(output)};
  return IoResult::Success();
}

IoResult WebHidTransport::WriteReport(DeviceHandle handle, std::span<const std::uint8_t> report) {
  return AsIoResult(
      web_hid_write(AsJsHandle(handle), report.data(), static_cast<int>(report.size())));
}

IoResult WebHidTransport::ReadReport(DeviceHandle handle, std::span<std::uint8_t> buffer) {
  return AsIoResult(
      web_hid_read(AsJsHandle(handle), buffer.data(), static_cast<int>(buffer.size())));
}

ListenResult WebHidTransport::Listen(DeviceHandle handle, std::span<std::uint8_t> buffer,
                                     std::uint32_t timeoutMs) {
  const int ms = static_cast<int>(std::min<std::uint32_t>(timeoutMs, INT_MAX));
  const int code =
      web_hid_listen(AsJsHandle(handle), buffer.data(), static_cast<int>(buffer.size()), ms);
  if (code == 0) {
    return ListenResult::Heard();
  }
  if (static_cast<std::uint32_t>(code) == BROWSER_READ_TIMED_OUT) {
    return ListenResult::Quiet();
  }
  return ListenResult::Failure(static_cast<std::uint32_t>(code));
}

void WebHidTransport::CloseDevice(DeviceHandle handle) {
  web_hid_close(AsJsHandle(handle));
}
