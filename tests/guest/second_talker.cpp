// A second program talking to a hidraw node that pelora-update is updating, without any claim:
// for the guest's check that a unit someone else talks to is never shared.
//
//   second_talker --polite|--blind NODE
//
// Both first watch the node without sending anything until the update is in its block stage
// (replies at the unit's pace of one per 20 ms), so what follows meets a conversation under way.
// Then --polite opens the unit as our programs do (listening before its first request) and exits
// 8 when it heard the other talker, having sent nothing; --blind writes one identification
// request straight away, as a program that does not listen would. Prints what it did; exits 3
// when the update was never heard, 2 on bad arguments, 1 on any other failure.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "platform/hidapi/hidapi_transport.h"
#include "platform/posix/monotonic_waiter.h"
#include "platform/posix/scoped_fd.h"
#include "protocol/unit_link.h"
#include "protocol/unit_report.h"

namespace {

constexpr int kExitBusy = 8;
constexpr int kExitNeverHeard = 3;

// Replies this close together come from the block stage: identification and the stages before
// it answer once each, with pauses of 20 ms to 5 s between them.
constexpr int kRepliesInARow = 20;
constexpr auto kInARowWithin = std::chrono::milliseconds(100);
constexpr int kWatchLimitMs = 90'000;

bool WaitForTheBlockStage(const std::string& node) {
  const ScopedFd fd(::open(node.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) {
    std::printf("cannot open %s to watch: %s\n", node.c_str(), std::strerror(errno));
    return false;
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(kWatchLimitMs);
  Clock::time_point last{};
  int inARow = 0;
  std::array<unsigned char, 256> report{};
  while (Clock::now() < giveUp) {
    pollfd waiting{fd.get(), POLLIN, 0};
    if (::poll(&waiting, 1, 500) <= 0) {
      continue;
    }
    if (::read(fd.get(), report.data(), report.size()) <= 0) {
      std::printf("the node failed while watched: %s\n", std::strerror(errno));
      return false;
    }
    const Clock::time_point now = Clock::now();
    inARow = now - last <= kInARowWithin ? inARow + 1 : 1;
    last = now;
    if (inARow >= kRepliesInARow) {
      return true;
    }
  }
  return false;
}

int Polite(const std::string& node) {
  HidapiTransport transport;
  MonotonicWaiter waiter;
  OpenedDevice opened;
  if (transport.OpenPath(node, opened) != RESULT_OK) {
    std::printf("cannot open %s\n", node.c_str());
    return 1;
  }
  UnitLink link(transport, waiter);
  const RequestResult result = link.Open(std::move(opened));
  if (result.code == RESULT_BUSY) {
    std::printf("busy: heard another program talking to the unit, sent nothing\n");
    return kExitBusy;
  }
  std::printf("not busy: result %d\n", static_cast<int>(result.code));
  return 0;
}

int Blind(const std::string& node) {
  const ScopedFd fd(::open(node.c_str(), O_WRONLY | O_CLOEXEC));
  if (!fd) {
    std::printf("cannot open %s to write: %s\n", node.c_str(), std::strerror(errno));
    return 1;
  }
  // On hidraw the report ID leads the written bytes; the unit's output report is 64 bytes.
  std::array<unsigned char, REPORT_BUFFER_MIN> report{};
  const UnitRequest identify = BuildIdentifyRequest();
  std::memcpy(report.data(), identify.bytes.data(), identify.bytes.size());
  if (::write(fd.get(), report.data(), report.size()) != static_cast<ssize_t>(report.size())) {
    std::printf("the request was not written: %s\n", std::strerror(errno));
    return 1;
  }
  std::printf("wrote an identification request\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 ||
      (std::strcmp(argv[1], "--polite") != 0 && std::strcmp(argv[1], "--blind") != 0)) {
    std::fprintf(stderr, "usage: second_talker --polite|--blind NODE\n");
    return 2;
  }
  const std::string node = argv[2];
  if (!WaitForTheBlockStage(node)) {
    std::printf("never heard an update in its block stage\n");
    return kExitNeverHeard;
  }
  return std::strcmp(argv[1], "--polite") == 0 ? Polite(node) : Blind(node);
}
