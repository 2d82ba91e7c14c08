// Tests of the Windows platform layer that need real Win32 (run under Wine by CTest): overlapped
// report I/O and its time-out over a named pipe standing in for a HID device, the precise wait,
// handle ownership and the WM_DEVICECHANGE wrapper. No test framework is available for mingw
// here, so a small table of checks stands in.
#include <windows.h>
#include <dbt.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/device_notification.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_hid_transport.h"
#include "platform/win32/win32_os_services.h"

namespace {

int failures = 0;

void Check(bool ok, const char* what, int line) {
  if (!ok) {
    ++failures;
    std::printf("  FAILED (line %d): %s\n", line, what);
  }
}
#define CHECK(condition) Check((condition), #condition, __LINE__)

double NowMs() {
  LARGE_INTEGER counter;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A named pipe in message mode: the client end is opened as the transport opens a HID interface,
// the server end plays the unit.
struct PipeUnit {
  KernelObject server;
  KernelObject client;

  explicit PipeUnit(DWORD bufferBytes) {
    static int counter = 0;
    const std::wstring name = L"\\\\.\\pipe\\pelora-platform-test-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    server.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                  PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                  bufferBytes, bufferBytes, 0, nullptr));
    client.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_FLAG_OVERLAPPED, nullptr));
  }
  DeviceHandle device() const { return reinterpret_cast<DeviceHandle>(client.get()); }

  bool Send(const std::vector<std::uint8_t>& report) {
    DWORD written = 0;
    return WriteFile(server.get(), report.data(), static_cast<DWORD>(report.size()), &written,
                     nullptr) != FALSE;
  }
  std::vector<std::uint8_t> Receive() {
    std::vector<std::uint8_t> report(256);
    DWORD read = 0;
    if (!ReadFile(server.get(), report.data(), static_cast<DWORD>(report.size()), &read, nullptr)) {
      return {};
    }
    report.resize(read);
    return report;
  }
};

std::vector<std::uint8_t> Report(std::uint8_t id, std::uint8_t fill, std::size_t length) {
  std::vector<std::uint8_t> report(length, fill);
  report[0] = id;
  return report;
}

void ReportsTravelBothWays() {
  PipeUnit unit(4096);
  CHECK(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  const auto request = Report(0x01, 0x5A, 65);
  CHECK(transport.WriteReport(unit.device(), request));
  CHECK(unit.Receive() == request);

  const auto reply = Report(0x02, 0xA5, 65);
  CHECK(unit.Send(reply));
  std::vector<std::uint8_t> buffer(65, 0xEE);
  CHECK(transport.ReadReport(unit.device(), buffer));
  CHECK(buffer == reply);
}

void ReadPresetsTheReportIdEvenWhenItFails() {
  PipeUnit unit(4096);
  unit.server.reset();   // the unit is gone
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  std::vector<std::uint8_t> buffer(65, 0xEE);
  const double start = NowMs();
  CHECK(!transport.ReadReport(unit.device(), buffer));
  const DWORD error = GetLastError();
  CHECK(NowMs() - start < 400);  // a failure, not a time-out
  CHECK(error != ERROR_TIMEOUT && error != ERROR_IO_PENDING && error != ERROR_SUCCESS);
  CHECK(buffer[0] == 0x02);
  CHECK(buffer[1] == 0xEE);
}

void SilentUnitTimesOutAndTheNextReadStillWorks() {
  PipeUnit unit(4096);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 300);
  std::vector<std::uint8_t> buffer(65, 0xEE);
  const double start = NowMs();
  CHECK(!transport.ReadReport(unit.device(), buffer));
  const DWORD error = GetLastError();
  const double elapsed = NowMs() - start;
  CHECK(error == ERROR_TIMEOUT);
  CHECK(elapsed >= 299.0);
  CHECK(elapsed < 3000.0);

  // The cancelled read is over: a late reply is not swallowed by it but read by the next one.
  const auto reply = Report(0x02, 0x33, 65);
  CHECK(unit.Send(reply));
  std::vector<std::uint8_t> next(65, 0xEE);
  CHECK(transport.ReadReport(unit.device(), next));
  CHECK(next == reply);
}

void WriteNobodyTakesTimesOut() {
  PipeUnit unit(0);      // no buffer: a large write waits for a reader that never comes
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 300);
  const auto request = Report(0x01, 0x11, 70000);
  const double start = NowMs();
  CHECK(!transport.WriteReport(unit.device(), request));
  const DWORD error = GetLastError();
  const double elapsed = NowMs() - start;
  CHECK(error == ERROR_TIMEOUT);
  CHECK(elapsed >= 299.0);
  CHECK(elapsed < 3000.0);
}

void FailedWriteLeavesTheSystemError() {
  PipeUnit unit(4096);
  unit.server.reset();
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  SetLastError(ERROR_SUCCESS);
  CHECK(!transport.WriteReport(unit.device(), Report(0x01, 0, 65)));
  const DWORD error = GetLastError();
  CHECK(error != ERROR_SUCCESS && error != ERROR_IO_PENDING && error != ERROR_TIMEOUT);
}

void WaitsNeverEndEarlyAndKeepTheLastError() {
  Win32OsServices os;
  const char* methods[] = {"high-resolution timer", "timer", "sleep"};
  std::printf("  wait method: %s\n", methods[static_cast<int>(os.method())]);
  const std::uint32_t durations[] = {0, 1, 5, 20};
  for (const std::uint32_t ms : durations) {
    const int rounds = 25;
    double shortest = 1e9;
    double total = 0;
    for (int i = 0; i < rounds; ++i) {
      SetLastError(0xBEEF);
      const double start = NowMs();
      os.Wait(ms);
      const double elapsed = NowMs() - start;
      CHECK(GetLastError() == 0xBEEF);
      shortest = elapsed < shortest ? elapsed : shortest;
      total += elapsed;
    }
    const double mean = total / rounds;
    std::printf("  Wait(%u): shortest %.3f ms, mean %.3f ms\n", ms, shortest, mean);
    CHECK(shortest >= ms);
    CHECK(mean < ms + 4.0);  // a timer tick (15.6 ms) late would show here
  }
}

int closes = 0;
struct CountingTraits {
  using Handle = HANDLE;
  static void Close(Handle handle) {
    ++closes;
    SetLastError(ERROR_INVALID_HANDLE);  // what a failing close would leave
    CloseHandle(handle);
  }
};

void HandlesCloseOnceAndKeepTheLastError() {
  closes = 0;
  {
    ScopedHandle<CountingTraits> none;
    ScopedHandle<CountingTraits> invalid(INVALID_HANDLE_VALUE);
    CHECK(!none && !invalid);
    ScopedHandle<CountingTraits> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CHECK(event.valid());
    ScopedHandle<CountingTraits> moved(std::move(event));
    CHECK(!event && moved);
    SetLastError(ERROR_GEN_FAILURE);
    moved.reset();
    CHECK(GetLastError() == ERROR_GEN_FAILURE);
    CHECK(closes == 1);
  }
  CHECK(closes == 1);  // none, invalid and the moved-from handle close nothing
}

void DeviceChangeWrapperReadsOnlyTheStatedSize() {
  const std::wstring path = L"\\\\?\\hid#vid_1209&pid_0002#1&2&0&0000#{4d1e55b2}";
  std::vector<std::uint8_t> storage(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + path.size() * 2);
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
  broadcast->dbcc_size = static_cast<DWORD>(storage.size());
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(broadcast->dbcc_name, path.c_str(), (path.size() + 1) * 2);
  const LPARAM lParam = reinterpret_cast<LPARAM>(broadcast);

  DeviceEvent event = ToDeviceEvent(DBT_DEVICEARRIVAL, lParam);
  CHECK(event.code == DBT_DEVICEARRIVAL && event.deviceType == 5 && event.path == path);
  event = ToDeviceEvent(DBT_DEVICEREMOVECOMPLETE, lParam);
  CHECK(event.code == DBT_DEVICEREMOVECOMPLETE && event.path == path);

  broadcast->dbcc_size = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 8;
  CHECK(ToDeviceEvent(DBT_DEVICEARRIVAL, lParam).path == L"\\\\?\\");

  // Other codes never touch lParam, whatever it holds.
  event = ToDeviceEvent(DBT_DEVNODES_CHANGED, 1);
  CHECK(event.code == DBT_DEVNODES_CHANGED && event.deviceType == 0 && event.path.empty());
  event = ToDeviceEvent(DBT_DEVICEARRIVAL, 0);
  CHECK(event.code == DBT_DEVICEARRIVAL && event.deviceType == 0);
}

struct TestCase {
  const char* name;
  void (*run)();
};

constexpr TestCase TESTS[] = {
    {"ReportsTravelBothWays", ReportsTravelBothWays},
    {"ReadPresetsTheReportIdEvenWhenItFails", ReadPresetsTheReportIdEvenWhenItFails},
    {"SilentUnitTimesOutAndTheNextReadStillWorks", SilentUnitTimesOutAndTheNextReadStillWorks},
    {"WriteNobodyTakesTimesOut", WriteNobodyTakesTimesOut},
    {"FailedWriteLeavesTheSystemError", FailedWriteLeavesTheSystemError},
    {"WaitsNeverEndEarlyAndKeepTheLastError", WaitsNeverEndEarlyAndKeepTheLastError},
    {"HandlesCloseOnceAndKeepTheLastError", HandlesCloseOnceAndKeepTheLastError},
    {"DeviceChangeWrapperReadsOnlyTheStatedSize", DeviceChangeWrapperReadsOnlyTheStatedSize},
};

}  // namespace

int wmain() {
  for (const TestCase& test : TESTS) {
    const int before = failures;
    std::printf("%s\n", test.name);
    test.run();
    std::printf("  %s\n", failures == before ? "ok" : "FAILED");
  }
  std::printf("%d failure(s)\n", failures);
  return failures == 0 ? 0 : 1;
}
