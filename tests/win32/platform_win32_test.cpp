// Tests of the Windows platform layer that need real Win32 (run under Wine by CTest): overlapped
// report I/O and its time-out over a named pipe standing in for a HID device, the precise wait,
// handle ownership and the WM_DEVICECHANGE wrapper.
#include <windows.h>
#include <dbt.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/win32/device_notification.h"
#include "platform/win32/posted_read.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/win32_hid_transport.h"
#include "platform/win32/win32_unit_claims.h"
#include "platform/win32/win32_waiter.h"

namespace {

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

// ---------------------------------------------------------------- overlapped report I/O

// The unit replies with a report of `fill` bytes; the transport reads it whole.
void ExpectReadsTheReply(PipeUnit& unit, Win32HidTransport& transport, std::uint8_t fill) {
  const auto reply = Report(0x02, fill, 65);
  EXPECT_TRUE(unit.Send(reply));
  std::vector<std::uint8_t> buffer(65, 0xEE);
  EXPECT_TRUE(transport.ReadReport(unit.device(), buffer).ok);
  EXPECT_EQ(buffer, reply);
}

TEST(Win32HidTransport, ReportsTravelBothWays) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  const auto request = Report(0x01, 0x5A, 65);
  EXPECT_TRUE(transport.WriteReport(unit.device(), request).ok);
  EXPECT_EQ(unit.Receive(), request);

  ExpectReadsTheReply(unit, transport, 0xA5);
}

TEST(Win32HidTransport, ReadPresetsTheReportIdEvenWhenItFails) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.client);
  unit.server.reset();   // the unit is gone
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  std::vector<std::uint8_t> buffer(65, 0xEE);
  const double start = NowMs();
  const IoResult read = transport.ReadReport(unit.device(), buffer);
  EXPECT_FALSE(read.ok);
  const DWORD error = read.osError;
  EXPECT_LT(NowMs() - start, 400) << "a failure, not a time-out";
  EXPECT_NE(error, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_NE(error, static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(buffer[0], 0x02);
  EXPECT_EQ(buffer[1], 0xEE);
}

// A read after a write that completed at once waits for its own reply (here 150 ms late) and
// delivers it, not ending early on anything the write left behind.
TEST(Win32HidTransport, ReadAfterAWriteDoneAtOnceWaitsForALateReply) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 2000);
  const auto request = Report(0x01, 0x5A, 65);
  EXPECT_TRUE(transport.WriteReport(unit.device(), request).ok);
  EXPECT_EQ(unit.Receive(), request);

  const auto reply = Report(0x02, 0x77, 65);
  std::thread lateUnit([&] {
    Sleep(150);
    unit.Send(reply);
  });
  std::vector<std::uint8_t> buffer(65, 0xEE);
  const double start = NowMs();
  const IoResult read = transport.ReadReport(unit.device(), buffer);
  const double elapsed = NowMs() - start;
  lateUnit.join();
  EXPECT_TRUE(read.ok);
  EXPECT_EQ(buffer, reply);
  EXPECT_GE(elapsed, 140.0);
}

// `transfer` fails with ERROR_TIMEOUT once the transport's 300 ms are over, not before and not
// long after.
void ExpectTimesOut(const std::function<IoResult()>& transfer) {
  const double start = NowMs();
  const IoResult result = transfer();
  const double elapsed = NowMs() - start;
  EXPECT_EQ(result, IoResult::Failure(ERROR_TIMEOUT));
  EXPECT_GE(elapsed, 299.0);
  EXPECT_LT(elapsed, 3000.0);
}

TEST(Win32HidTransport, SilentUnitTimesOutAndTheNextReadStillWorks) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 300);
  std::vector<std::uint8_t> buffer(65, 0xEE);
  ExpectTimesOut([&] { return transport.ReadReport(unit.device(), buffer); });

  // The cancelled read is over: a late reply is not swallowed by it but read by the next one.
  ExpectReadsTheReply(unit, transport, 0x33);
}

TEST(Win32HidTransport, WriteNobodyTakesTimesOut) {
  PipeUnit unit(0);  // no buffer: a large write waits for a reader that never comes
  ASSERT_TRUE(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 300);
  const auto request = Report(0x01, 0x11, 70000);
  ExpectTimesOut([&] { return transport.WriteReport(unit.device(), request); });
}

TEST(Win32HidTransport, FailedWriteCarriesTheSystemError) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.client);
  unit.server.reset();
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 500);
  SetLastError(ERROR_SUCCESS);
  const IoResult written = transport.WriteReport(unit.device(), Report(0x01, 0, 65));
  EXPECT_FALSE(written.ok);
  const DWORD error = written.osError;
  EXPECT_NE(error, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_NE(error, static_cast<DWORD>(ERROR_IO_PENDING));
  EXPECT_NE(error, static_cast<DWORD>(ERROR_TIMEOUT));
}

// A posted read outlives a wait that ran out: the report that comes later lands in it, and its
// bytes are delivered whole.
TEST(PostedRead, AWaitThatRunsOutKeepsTheReadForTheLateReport) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  PostedRead read(unit.client.get(), 65);
  ASSERT_TRUE(read.Post());
  std::vector<std::uint8_t> buffer(65, 0xEE);
  EXPECT_EQ(read.Wait(buffer, 50), PostedRead::Outcome::TimedOut);
  EXPECT_TRUE(read.posted());
  const auto reply = Report(0x02, 0x44, 65);
  ASSERT_TRUE(unit.Send(reply));
  EXPECT_EQ(read.Wait(buffer, 2000), PostedRead::Outcome::Done);
  EXPECT_EQ(buffer, reply);
  EXPECT_FALSE(read.posted());
}

// Cancelling a read nobody answers ends it as cancelled, and a new one can be posted and read.
TEST(PostedRead, CancelEndsTheReadAndANewOneWorks) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  PostedRead read(unit.client.get(), 65);
  ASSERT_TRUE(read.Post());
  std::vector<std::uint8_t> buffer(65, 0xEE);
  EXPECT_FALSE(read.Cancel(buffer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
  EXPECT_EQ(buffer[1], 0xEE) << "a cancelled read delivers nothing";
  ASSERT_TRUE(read.Post());
  const auto reply = Report(0x02, 0x45, 65);
  ASSERT_TRUE(unit.Send(reply));
  EXPECT_EQ(read.Wait(buffer, 2000), PostedRead::Outcome::Done);
  EXPECT_EQ(buffer, reply);
}

// After a reply the transport keeps the next read posted; closing the unit ends that read at once
// and lets the handle go (the unit's end then finds nobody there).
TEST(Win32HidTransport, ClosingAUnitEndsTheReadKeptPosted) {
  PipeUnit unit(4096);
  ASSERT_TRUE(unit.server && unit.client);
  const HidLibrary hid;  // reads and writes need no hid.dll
  Win32HidTransport transport(hid, 2000);
  EXPECT_TRUE(transport.WriteReport(unit.device(), Report(0x01, 0x5A, 65)).ok);
  EXPECT_EQ(unit.Receive().size(), 65u);
  ExpectReadsTheReply(unit, transport, 0xA6);
  const DeviceHandle device = unit.device();
  unit.client.release();
  const double start = NowMs();
  transport.CloseDevice(device);
  EXPECT_LT(NowMs() - start, 1000.0);
  EXPECT_FALSE(unit.Send(Report(0x02, 0x01, 65)));
}

// ---------------------------------------------------------------- the precise wait

class PreciseWait : public testing::TestWithParam<std::uint32_t> {};

TEST_P(PreciseWait, NeverEndsEarly) {
  const std::uint32_t ms = GetParam();
  Win32Waiter os;
  const char* methods[] = {"high-resolution timer", "timer", "sleep"};
  const int rounds = 25;
  double shortest = 1e9;
  double total = 0;
  for (int i = 0; i < rounds; ++i) {
    const double start = NowMs();
    os.Wait(ms);
    const double elapsed = NowMs() - start;
    shortest = elapsed < shortest ? elapsed : shortest;
    total += elapsed;
  }
  const double mean = total / rounds;
  std::printf("Wait(%u) by %s: shortest %.3f ms, mean %.3f ms\n", ms,
              methods[static_cast<int>(os.method())], shortest, mean);
  EXPECT_GE(shortest, ms);
  // The shortest of the rounds, not the mean: a loaded machine delays some waits but hardly all
  // of them, while a wait that rounds up to the 15.6 ms timer tick is late in every round.
  EXPECT_LT(shortest, ms + 8.0) << "a timer tick (15.6 ms) late would show here";
}

INSTANTIATE_TEST_SUITE_P(Milliseconds, PreciseWait, testing::Values(0u, 1u, 5u, 20u),
                         [](const testing::TestParamInfo<std::uint32_t>& info) {
                           return std::to_string(info.param) + "ms";
                         });

// ---------------------------------------------------------------- handle ownership

int closes = 0;
struct CountingTraits {
  using Handle = HANDLE;
  static void Close(Handle handle) {
    ++closes;
    SetLastError(ERROR_INVALID_HANDLE);  // what a failing close would leave
    CloseHandle(handle);
  }
};

TEST(ScopedHandle, ClosesOnceAndKeepsTheLastError) {
  closes = 0;
  {
    ScopedHandle<CountingTraits> none;
    ScopedHandle<CountingTraits> invalid(INVALID_HANDLE_VALUE);
    EXPECT_FALSE(none);
    EXPECT_FALSE(invalid);
    ScopedHandle<CountingTraits> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_TRUE(event.valid());
    ScopedHandle<CountingTraits> moved(std::move(event));
    EXPECT_FALSE(event);  // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_TRUE(moved);
    SetLastError(ERROR_GEN_FAILURE);
    moved.reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(closes, 1);
  }
  EXPECT_EQ(closes, 1) << "none, invalid and the moved-from handle close nothing";
}

// ---------------------------------------------------------------- WM_DEVICECHANGE

const std::wstring kPath = L"\\\\?\\hid#vid_1209&pid_0002#1&2&0&0000#{4d1e55b2}";

// A DEV_BROADCAST_DEVICEINTERFACE_W for kPath, its header stating `statedSize` bytes (0: all).
std::vector<std::uint8_t> Broadcast(DWORD statedSize) {
  std::vector<std::uint8_t> storage(sizeof(DEV_BROADCAST_DEVICEINTERFACE_W) + kPath.size() * 2);
  auto* broadcast = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(storage.data());
  broadcast->dbcc_size = statedSize != 0 ? statedSize : static_cast<DWORD>(storage.size());
  broadcast->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
  std::memcpy(broadcast->dbcc_name, kPath.c_str(), (kPath.size() + 1) * 2);
  return storage;
}

enum class Param { WholeBroadcast, TruncatedBroadcast, One, Null };

struct DeviceChangeCase {
  const char* name;
  WPARAM code;
  Param lParam;
  DeviceChange change;
  bool deviceInterface;
  std::wstring path;
};

void PrintTo(const DeviceChangeCase& c, std::ostream* out) {
  *out << c.name;
}

class DeviceChangeWrapper : public testing::TestWithParam<DeviceChangeCase> {};

TEST_P(DeviceChangeWrapper, ReadsOnlyTheStatedSize) {
  const DeviceChangeCase& c = GetParam();
  std::vector<std::uint8_t> storage;
  LPARAM lParam = 0;
  switch (c.lParam) {
    case Param::WholeBroadcast:
      storage = Broadcast(0);
      break;
    case Param::TruncatedBroadcast:
      // Room for four characters of the name: "\\?\" and no terminator.
      storage = Broadcast(offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name) + 8);
      break;
    case Param::One:
      lParam = 1;
      break;
    case Param::Null:
      break;
  }
  if (!storage.empty()) {
    lParam = reinterpret_cast<LPARAM>(storage.data());
  }
  const DeviceEvent event = ToDeviceEvent(c.code, lParam);
  EXPECT_EQ(event.change, c.change);
  EXPECT_EQ(event.deviceInterface, c.deviceInterface);
  EXPECT_EQ(event.path, c.path);
}

// Codes other than arrival and removal never touch lParam, whatever it holds.
INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceChangeWrapper,
    testing::Values(DeviceChangeCase{"Arrival", DBT_DEVICEARRIVAL, Param::WholeBroadcast,
                                     DeviceChange::Arrival, true, kPath},
                    DeviceChangeCase{"Removal", DBT_DEVICEREMOVECOMPLETE, Param::WholeBroadcast,
                                     DeviceChange::Removal, true, kPath},
                    DeviceChangeCase{"ArrivalStatingFourCharacters", DBT_DEVICEARRIVAL,
                                     Param::TruncatedBroadcast, DeviceChange::Arrival, true,
                                     L"\\\\?\\"},
                    DeviceChangeCase{"OtherCodeIgnoresItsParameter", DBT_DEVNODES_CHANGED,
                                     Param::One, DeviceChange::Other, false, L""},
                    DeviceChangeCase{"ArrivalWithoutBroadcast", DBT_DEVICEARRIVAL, Param::Null,
                                     DeviceChange::Arrival, false, L""}),
    [](const testing::TestParamInfo<DeviceChangeCase>& info) { return info.param.name; });

}  // namespace

// ---------------------------------------------------------------- claims on a unit

namespace {

// One claim per device path, whatever the case of its letters A to Z; given back with the claim.
TEST(Win32UnitClaims, OneHolderPerPathUntilItLetsGo) {
  Win32UnitClaims claims;
  const std::wstring path = L"\\\\?\\hid#vid_1209&pid_0002#claim-test-" +
                            std::to_wstring(GetCurrentProcessId()) + L"#{4d1e55b2}";
  ClaimResult first = claims.Claim(path);
  ASSERT_EQ(first.outcome, ClaimOutcome::Claimed);
  ASSERT_NE(first.claim, nullptr);

  std::wstring upper = path;
  for (wchar_t& c : upper) {
    if (c >= L'a' && c <= L'z') {
      c = static_cast<wchar_t>(c - L'a' + L'A');
    }
  }
  EXPECT_EQ(claims.Claim(path).outcome, ClaimOutcome::Busy);
  EXPECT_EQ(claims.Claim(upper).outcome, ClaimOutcome::Busy);
  EXPECT_EQ(claims.Claim(path + L"0").outcome, ClaimOutcome::Claimed) << "another device";

  first.claim.reset();
  EXPECT_EQ(claims.Claim(upper).outcome, ClaimOutcome::Claimed);
}

}  // namespace
