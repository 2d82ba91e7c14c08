// Writes the stage-failure table as JSON for the browser tests, which cannot include the C++
// table: run at build time (under node in the web build) into generated/stage_failures.json.
#include <cstdio>
#include <string>
#include <utility>

#include "build_facts.h"
#include "tests/support/stage_failures.h"
#include "update/update_record.h"

namespace {

// The fake WebHID unit's names for sim::FaultKind.
const char* FaultName(sim::FaultKind kind) {
  switch (kind) {
    case sim::FaultKind::Refuse:
      return "refuse";
    case sim::FaultKind::FailFlag:
      return "failFlag";
    case sim::FaultKind::WriteFailure:
      return "writeFailure";
    case sim::FaultKind::ReadFailure:
      return "readFailure";
    case sim::FaultKind::Silent:
      return "silent";
    case sim::FaultKind::Vanish:
      return "vanish";
  }
  return "?";
}

std::string Rigs(const stage_failures::StageFailure& row) {
  const std::pair<stage_failures::Rig, const char*> names[] = {
      {stage_failures::kDialog, "dialog"},
      {stage_failures::kCommandLine, "commandLine"},
      {stage_failures::kStandIn, "standIn"},
      {stage_failures::kWindows, "windows"},
      {stage_failures::kWindowsReplies, "windowsReplies"},
      {stage_failures::kBrowser, "browser"}};
  std::string out;
  for (const auto& [rig, name] : names) {
    if (row.PlayedBy(rig)) {
      out += std::string(out.empty() ? "" : ", ") + "\"" + name + "\"";
    }
  }
  return "[" + out + "]";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_stage_failures OUTPUT.json\n");
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const auto blocks = static_cast<std::uint32_t>(build_facts::kImageBlocks);
  std::fprintf(out, "[\n");
  bool first = true;
  for (const stage_failures::StageFailure& row : stage_failures::kStageFailures) {
    const sim::Fault fault = row.Fault(blocks);
    std::fprintf(out,
                 "%s  {\"name\": \"%s\", \"stage\": \"%s\", \"keyword\": \"%s\", \"request\": %u, "
                 "\"block\": %u, \"fault\": {\"command\": %u, \"occurrence\": %u, \"kind\": "
                 "\"%s\", \"code\": %u, \"flag\": %u}, \"message\": %u, \"result\": %d, "
                 "\"exitStatus\": %d, \"requestsSent\": %zu, \"rigs\": %s}",
                 first ? "" : ",\n", row.Name().c_str(), stage_failures::StageName(row.stage),
                 StageKeyword(row.stage), static_cast<unsigned>(row.request),
                 static_cast<unsigned>(row.Block(blocks)), static_cast<unsigned>(fault.command),
                 static_cast<unsigned>(fault.occurrence), FaultName(fault.kind),
                 static_cast<unsigned>(fault.code), static_cast<unsigned>(fault.flag),
                 static_cast<unsigned>(row.message), static_cast<int>(row.result), row.exitStatus,
                 row.RequestsSent(blocks), Rigs(row).c_str());
    first = false;
  }
  std::fprintf(out, "\n]\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
