// The record of updates on the command line: each update leaves its line, a record that cannot
// be kept is said once and changes nothing else, and `history` reads back what it can, whatever
// the file holds.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/record_reporter.h"
#include "platform/posix/record_file.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/test_image.h"
#include "texts/failure_text.h"
#include "update/sha256.h"

namespace {

namespace fs = std::filesystem;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class RecordTest : public CliTest {
 protected:
  RecordTest() {
    image = MakeTestImage(1000);
    digest = Sha256Of(image);
    char pattern[] = "/tmp/cli-records-XXXXXX";
    root = mkdtemp(pattern);
    recordPath = root + "/state/pelora-update/updates.jsonl";
  }
  ~RecordTest() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  // The records go to `path` through the program's own file and reporter.
  void KeepRecordsIn(const std::string& path) {
    file.emplace(path);
    reporter.emplace([this](std::string_view line) { return file->Append(line); }, path,
                     textConsole, *texts);
    records = &*reporter;
  }

  void WriteRecords(const std::string& text, const std::string& suffix = "") {
    fs::create_directories(fs::path(recordPath).parent_path());
    std::ofstream(recordPath + suffix, std::ios::binary) << text;
  }

  std::string root;
  std::optional<RecordFile> file;
  std::optional<RecordReporter> reporter;
};

TEST_F(RecordTest, AFailedUpdateLeavesARecordThatHistoryShowsWithBothNumbers) {
  KeepRecordsIn(recordPath);
  auto unit = Plug("/dev/hidraw1");
  unit->AddFault({0x1E, 1, sim::FaultKind::ReadFailure});
  EXPECT_EQ(Run({"update", "--yes"}), 12);

  console.out.clear();
  console.err.clear();
  EXPECT_EQ(Run({"history"}), 0);
  EXPECT_EQ(console.err, "");
  const std::string code =
      Utf8FromWide(FailureText(texts->Text(IDS_ERASE_FAILED), RESULT_READ_FAILED, 31, *texts));
  EXPECT_EQ(console.out,
            "2026-12-11 07:00:00 UTC  cli 3.3  /dev/hidraw1  MAVIRA 1.2  ESC-bootloader 1.5  ESC "
            "3.2 -> 3.3  5.0 s\n  " +
                code.substr(0, code.find('\n')) + "\n  " + code.substr(code.find('\n') + 1) + "\n");
  EXPECT_TRUE(Contains(console.out, "0xfffffffd-0x0000001f")) << console.out;

  // The same in German, and as JSON for a script.
  console.out.clear();
  UseLanguage(Language::German);
  EXPECT_EQ(Run({"history"}), 0);
  EXPECT_TRUE(Contains(console.out, "Regler-Bootloader 1.5  Regler 3.2 -> 3.3")) << console.out;
  console.out.clear();
  EXPECT_EQ(Run({"history", "--json"}), 0);
  const nlohmann::json all = nlohmann::json::parse(console.out);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0]["outcome"]["stage"], "erase");
  EXPECT_EQ(all[0]["outcome"]["result"], -3);
  EXPECT_EQ(all[0]["outcome"]["osError"], 31);
}

TEST_F(RecordTest, EveryUpdatePastTheQuestionsIsRecordedAndNoOtherRun) {
  Plug("/dev/hidraw1");
  EXPECT_EQ(Run({"list"}), 0);
  EXPECT_EQ(Run({"update"}), 6);  // no terminal to ask on: declined, nothing begun
  EXPECT_TRUE(collected.lines.empty());
  EXPECT_EQ(Run({"update", "--yes"}), 0);
  ASSERT_EQ(collected.lines.size(), 1u);
  const nlohmann::json record = nlohmann::json::parse(collected.lines[0]);
  EXPECT_EQ(record["frontEnd"], "cli");
  EXPECT_EQ(record["outcome"]["end"], "done");
  EXPECT_EQ(record["stages"].size(), 5u);
}

struct UnkeptCase {
  const char* name;
  std::string path;  // "" stands for no HOME; "@" for a state folder that is a file
  std::string says;
};

// The update goes on and ends as it would: same exit status, same result line; the reason is
// said once on the error stream.
TEST_F(RecordTest, ARecordThatCannotBeKeptIsSaidOnceAndChangesNothingElse) {
  std::ofstream(root + "/file") << "x";
  const UnkeptCase cases[] = {
      {"no HOME", "", T(IDS_CLI_RECORD_NO_PLACE)},
      {"full disk", "/dev/full",
       "pelora-update: the record of this update could not be written to /dev/full (No space "
       "left on device)."},
      {"state folder is a file", root + "/file/pelora-update/updates.jsonl",
       "could not be written to " + root + "/file/pelora-update/updates.jsonl (Not a directory)"},
  };
  for (const UnkeptCase& c : cases) {
    SCOPED_TRACE(c.name);
    console.out.clear();
    console.err.clear();
    transport.devices().clear();
    Plug("/dev/hidraw1");
    KeepRecordsIn(c.path);
    EXPECT_EQ(Run({"update", "--yes"}), 0);
    EXPECT_TRUE(Contains(console.out, T(IDS_SUCCESS))) << console.out;
    EXPECT_TRUE(Contains(console.err, c.says)) << console.err;
    EXPECT_EQ(console.err.find("pelora-update: "), console.err.rfind("pelora-update: "))
        << "said once";
    // A second record from the same run is not reported again.
    reporter->Append("{}\n");
    EXPECT_EQ(console.err.find(c.says), console.err.rfind(c.says));
  }
}

struct DamageCase {
  const char* name;
  std::string text;
  std::size_t kept;
  std::size_t skipped;
};

std::string GoodLine(int n) {
  return R"({"time":"2026-12-1)" + std::to_string(n) +
         R"(T07:00:00.000Z","frontEnd":"cli","programVersion":"3.3","unit":{"path":"/dev/hidraw0","kind":"MAVIRA","unitVersion":"1.2","bootloaderVersion":"1.5","escVersion":"3.2"},"carried":{"version":"3.3"},"stages":[],"outcome":{"end":"done","stage":null,"result":0,"osError":0},"durationMs":46200})";
}

// A damaged file never crashes history: what is whole is shown, the rest skipped with a note.
TEST_F(RecordTest, HistorySkipsDamagedLinesWithANote) {
  const std::string good = GoodLine(1) + "\n";
  const DamageCase cases[] = {
      {"empty file", "", 0, 0},
      {"whole", good + GoodLine(2) + "\n", 2, 0},
      {"last line cut off", good + GoodLine(2).substr(0, 90), 1, 1},
      {"whole last line without its break", good + GoodLine(2), 2, 0},
      {"not JSON", "hello\n" + good + "{\n", 1, 2},
      {"JSON but no record", "[1,2]\n42\n{}\n{\"time\":5,\"outcome\":{\"end\":\"done\"}}\n" + good,
       1, 4},
      {"wrong types inside",
       R"({"time":"x","outcome":{"end":"failed","stage":7,"result":"a"},)"
       R"("unit":5,"durationMs":"long"})"
       "\n",
       1, 0},
      {"huge line", std::string(200000, 'x') + "\n" + good, 1, 1},
      // Even a whole record is damage at that length: no line is held past a bound.
      {"huge record",
       R"({"time":"x","outcome":{"end":"done"},"unit":{"path":")" + std::string(100000, 'a') +
           "\"}}\n" + good,
       1, 1},
      {"not UTF-8", "{\"time\":\"\xFF\xFE\",\"outcome\":{\"end\":\"done\"}}\n" + good, 1, 1},
      {"NUL bytes", std::string("\0\0\0\n", 4) + good, 1, 1},
      {"blank lines", "\n\n" + good + "\n", 1, 0},
  };
  for (const DamageCase& c : cases) {
    SCOPED_TRACE(c.name);
    WriteRecords(c.text);
    console.out.clear();
    console.err.clear();
    EXPECT_EQ(Run({"history"}), 0);
    const std::string note = c.skipped == 0
                                 ? ""
                                 : "pelora-update: " + recordPath + ": " +
                                       std::to_string(c.skipped) + " damaged lines skipped.\n";
    EXPECT_EQ(console.err, note);
    console.out.clear();
    console.err.clear();
    EXPECT_EQ(Run({"history", "--json"}), 0);
    const nlohmann::json all = nlohmann::json::parse(console.out, nullptr, false);
    ASSERT_TRUE(all.is_array()) << console.out.substr(0, 200);
    EXPECT_EQ(all.size(), c.kept);
  }
}

TEST_F(RecordTest, HistoryReadsTheOlderFileFirst) {
  WriteRecords(GoodLine(1) + "\n", ".1");
  WriteRecords(GoodLine(2) + "\n" + GoodLine(3) + "\n");
  EXPECT_EQ(Run({"history", "--json"}), 0);
  const nlohmann::json all = nlohmann::json::parse(console.out);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0]["time"], "2026-12-11T07:00:00.000Z");
  EXPECT_EQ(all[2]["time"], "2026-12-13T07:00:00.000Z");
}

TEST_F(RecordTest, HistoryWithoutRecordsOrWithoutAPlace) {
  EXPECT_EQ(Run({"history"}), 0);
  EXPECT_EQ(console.out, "No update has been recorded in " + recordPath + " yet.\n");
  console.out.clear();
  EXPECT_EQ(Run({"history", "--json"}), 0);
  EXPECT_EQ(console.out, "[]\n");

  recordPath.clear();
  console.out.clear();
  EXPECT_EQ(Run({"history"}), 20);
  EXPECT_EQ(console.err, T(IDS_CLI_RECORD_NO_PLACE) + "\n");
}

TEST_F(RecordTest, AnUnreadableRecordsFileIsSaidAndEndsWithItsStatus) {
  fs::create_directories(recordPath);  // a folder where the file should be
  EXPECT_EQ(Run({"history"}), 20);
  EXPECT_TRUE(Contains(console.err, "could not be read (Is a directory)")) << console.err;
  EXPECT_EQ(console.out, "");
}

TEST_F(RecordTest, HistoryTakesOnlyJson) {
  for (const char* option : {"--yes", "--device=/dev/hidraw0", "--wait=3"}) {
    console.err.clear();
    EXPECT_EQ(Run({"history", option}), 2) << option;
    EXPECT_TRUE(Contains(console.err, "does not apply to 'history'")) << console.err;
  }
}

}  // namespace
