// The record of each update, kept by the real program: history shows what an update left, and a
// record that cannot be written is said once while the update ends as it would without it.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/cli_e2e/scenario.h"

namespace cli_e2e {
namespace {

class RecordScenario : public Scenario {
 protected:
  // The program run with `name` set to `value` in its environment instead of the scenario's.
  standin::ProgramResult RunWith(std::vector<std::pair<std::string, std::string>> overrides,
                                 std::vector<std::string> args) const {
    standin::ProgramOptions options = Program(std::move(args));
    for (const auto& [name, value] : overrides) {
      for (auto& entry : options.environment) {
        if (entry.first == name) {
          entry.second = value;
        }
      }
      options.environment.emplace_back(name, value);
    }
    return standin::RunProgram(options, {});
  }

  static std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
      ++count;
    }
    return count;
  }
};

// A full disk under the records: the unit is still updated, the success still printed, and the
// lost record is said once.
TEST_F(RecordScenario, AFullDiskLosesTheRecordButNotTheUpdate) {
  const std::string path = bus.Plug({});
  std::filesystem::create_directories(std::filesystem::path(RecordsFile()).parent_path());
  std::filesystem::create_symlink("/dev/full", RecordsFile());

  const standin::ProgramResult result = Run({"update", "--yes"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(Contains(result.out, Text(IDS_SUCCESS))) << result.out;
  EXPECT_EQ(bus.Flash(path), expected::FlashAfterUpdate(image));
  EXPECT_EQ(
      Count(result.err, "could not be written to " + RecordsFile() + " (No space left on device)"),
      1u)
      << result.err;
}

struct UnkeptCase {
  const char* name;
  std::vector<std::pair<std::string, std::string>>
      environment;  // "@" stands for the scenario's folder
  const char* says;
};

class UnkeptRecord : public RecordScenario, public ::testing::WithParamInterface<UnkeptCase> {};

// A failing update (the lock refused) keeps its exit status and texts whatever becomes of the
// record.
TEST_P(UnkeptRecord, IsSaidOnceAndTheUpdateEndsAsItWould) {
  std::ofstream(stateHome + "/file") << "x";
  std::vector<std::pair<std::string, std::string>> environment = GetParam().environment;
  for (auto& entry : environment) {
    if (entry.second.starts_with("@")) {
      entry.second = stateHome + entry.second.substr(1);
    }
  }
  sim::DevicePlan plan;
  plan.faults = {{0x0B, 1, sim::FaultKind::FailFlag}};
  bus.Plug(plan);

  const standin::ProgramResult result = RunWith(environment, {"update", "--yes"});
  EXPECT_EQ(result.exitCode, 10) << result.err;
  EXPECT_TRUE(Contains(result.err, Text(IDS_LOCK_FAILED))) << result.err;
  EXPECT_EQ(Count(result.err, GetParam().says), 1u) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Places, UnkeptRecord,
    ::testing::Values(UnkeptCase{"NoHome",
                                 {{"HOME", ""}, {"XDG_STATE_HOME", ""}},
                                 "neither XDG_STATE_HOME nor HOME names a folder"},
                      UnkeptCase{
                          "StateHomeIsAFile", {{"XDG_STATE_HOME", "@/file"}}, "(Not a directory)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Two failed updates in a row, as a user would look them up afterwards.
TEST_F(RecordScenario, HistoryShowsEachFailedUpdateInOrder) {
  sim::DevicePlan plan;
  plan.faults = {{0x0B, 0, sim::FaultKind::Refuse, 5}};
  const std::string path = bus.Plug(plan);
  EXPECT_EQ(Run({"update", "--yes"}).exitCode, 10);
  EXPECT_EQ(Run({"update", "--yes"}).exitCode, 10);

  const standin::ProgramResult json = Run({"history", "--json"});
  ASSERT_EQ(json.exitCode, 0) << json.err;
  const nlohmann::json records = nlohmann::json::parse(json.out);
  ASSERT_EQ(records.size(), 2u);
  for (const nlohmann::json& record : records) {
    EXPECT_EQ(record["unit"]["path"], path);
    EXPECT_EQ(record["outcome"]["end"], "failed");
    EXPECT_EQ(record["outcome"]["stage"], "lock");
    EXPECT_EQ(record["outcome"]["result"], 1627);
  }
  EXPECT_LT(records[0]["time"].get<std::string>(), records[1]["time"].get<std::string>());

  const standin::ProgramResult german = Run({"history"}, {}, Language::German);
  EXPECT_EQ(german.exitCode, 0);
  EXPECT_EQ(Count(german.out, Text(IDS_LOCK_FAILED, Language::German)), 2u) << german.out;
  EXPECT_EQ(Count(german.out, "0x0000065b-0x00000000"), 2u) << german.out;
}

}  // namespace
}  // namespace cli_e2e
