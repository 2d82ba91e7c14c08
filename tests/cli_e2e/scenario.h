// What every scenario of the real program shares: a fresh simulated bus, the program run against
// it with the stand-in library, the carried image, and the texts it must print.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "build_facts.h"
#include "tests/hidapi_standin/driver/child_process.h"
#include "tests/hidapi_standin/driver/standin_bus.h"
#include "tests/support/expected_requests.h"
#include "texts/message_catalogue.h"
#include "texts/text_encoding.h"

namespace cli_e2e {

using namespace std::chrono_literals;

inline constexpr std::size_t kIdentifyRequests = 3;
// The carried image's blocks, and how the progress line counts them.
inline constexpr std::size_t kBlocks = build_facts::kImageBlocks;
inline const std::string kOfAllBlocks = "/" + std::to_string(kBlocks) + " blocks";

// The catalogue text as the program prints it (UTF-8, plain line breaks).
inline std::string Text(MessageId id, Language language = Language::English) {
  return Utf8FromWide(TableText(id, language));
}

inline std::vector<std::uint8_t> CarriedImage() {
  std::ifstream file(build_facts::kImagePath, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class Scenario : public ::testing::Test {
 protected:
  // The program's environment: the stand-in, and a locale that is English unless asked.
  standin::Environment Environment(
      Language language = Language::English,
      standin::StandinLibrary library = standin::StandinLibrary::Current) const {
    standin::Environment environment = bus.ProgramEnvironment(library);
    environment.emplace_back("LANGUAGE", "");  // whatever the caller's, it would come first
    environment.emplace_back("LC_ALL", "");
    environment.emplace_back("LC_MESSAGES", "");
    environment.emplace_back("LANG", language == Language::German ? "de_DE.UTF-8" : "C.UTF-8");
    // The records of the updates go to the scenario's own folder, never the user's.
    environment.emplace_back("XDG_STATE_HOME", stateHome);
    return environment;
  }

  standin::ProgramOptions Program(std::vector<std::string> args,
                                  Language language = Language::English) const {
    args.insert(args.begin(), PELORA_UPDATE);
    return {args, Environment(language), 120'000ms};
  }

  standin::ProgramResult Run(std::vector<std::string> args, std::string_view input = {},
                             Language language = Language::English) const {
    return standin::RunProgram(Program(std::move(args), language), input);
  }

  // The requests the unit took after its identification.
  std::vector<sim::RecordedRequest> UpdateRequests(const std::string& path) {
    std::vector<sim::RecordedRequest> requests = bus.Requests(path);
    requests.erase(requests.begin(), requests.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                            kIdentifyRequests, requests.size())));
    return requests;
  }

  // The first `count` requests of an update of the carried image, byte for byte.
  void ExpectUpdateRequests(const std::string& path, std::size_t count) {
    const std::vector<sim::RecordedRequest> requests = UpdateRequests(path);
    const auto patterns = expected::UpdateRequests(image, count);
    ASSERT_EQ(requests.size(), patterns.size());
    int reported = 0;
    for (std::size_t i = 0; i < requests.size() && reported < 5; ++i) {
      const std::string mismatch = expected::Mismatch(patterns[i], requests[i].bytes);
      if (!mismatch.empty()) {
        ADD_FAILURE() << "request " << i << ": " << mismatch;
        ++reported;
      }
    }
  }

  void TearDown() override { EXPECT_TRUE(bus.Problems().empty()) << bus.Problems().front(); }

  // The scenario's XDG_STATE_HOME, removed with it.
  struct StateHome {
    StateHome() {
      char pattern[] = "/tmp/cli-e2e-state-XXXXXX";
      path = mkdtemp(pattern);
    }
    ~StateHome() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
    std::string path;
  };
  // The records file the program keeps there.
  std::string RecordsFile() const { return state.path + "/pelora-update/updates.jsonl"; }

  StateHome state;
  const std::string& stateHome = state.path;
  standin::StandinBus bus;
  std::vector<std::uint8_t> image = CarriedImage();
};

}  // namespace cli_e2e
