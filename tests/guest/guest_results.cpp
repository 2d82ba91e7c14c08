#include "tests/guest/guest_results.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace guest {

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  const std::string text = ReadText(path);
  return {text.begin(), text.end()};
}

std::vector<TracedRequest> ReadTrace(const std::string& unitFolder) {
  std::vector<TracedRequest> trace;
  std::istringstream lines(ReadText(unitFolder + "/requests.txt"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    TracedRequest request;
    long long reply = -1;
    std::string hex;
    if (!(fields >> request.plug >> request.requestUs >> reply >> hex) || hex.size() % 2 != 0) {
      break;
    }
    if (reply >= 0) {
      request.replyUs = static_cast<std::uint64_t>(reply);
    }
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      request.bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    trace.push_back(std::move(request));
  }
  return trace;
}

ProgramRun ReadRun(const std::string& unitFolder, const std::string& step) {
  ProgramRun run;
  const std::string base = unitFolder + "/" + step;
  const std::string status = ReadText(base + ".status");
  if (!status.empty()) {
    run.status = std::stoi(status);
  }
  run.out = ReadText(base + ".out");
  run.err = ReadText(base + ".err");
  return run;
}

}  // namespace guest
