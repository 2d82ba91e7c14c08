// What the guest's scenarios left behind (tests/guest/scenarios.sh): each program run's output
// and exit status, and the simulated unit's request trace and flash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace guest {

struct TracedRequest {
  int plug = 0;  // 1 for the first plug-in of that unit, 2 after a replug, ...
  std::uint64_t requestUs = 0;
  std::optional<std::uint64_t> replyUs;
  std::vector<std::uint8_t> bytes;
};

struct ProgramRun {
  std::optional<int> status;  // absent when the run left no status (never ran)
  std::string out;
  std::string err;
};

// Empty when the file does not exist.
std::string ReadText(const std::string& path);
std::vector<std::uint8_t> ReadBytes(const std::string& path);
// The unit's trace OUT/NAME/requests.txt; a malformed line ends the list.
std::vector<TracedRequest> ReadTrace(const std::string& unitFolder);
// OUT/NAME/STEP.{status,out,err}.
ProgramRun ReadRun(const std::string& unitFolder, const std::string& step);

}  // namespace guest
