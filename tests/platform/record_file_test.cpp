// The command line's record file: created with its folders, bounded by one rotation, whole lines
// from two writers at once, and a clear errno for every place it cannot be written.
#include "platform/posix/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class RecordFileTest : public ::testing::Test {
 protected:
  RecordFileTest() {
    char pattern[] = "/tmp/record-file-XXXXXX";
    root = mkdtemp(pattern);
  }
  ~RecordFileTest() override {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, ignored);
    fs::remove_all(root, ignored);
  }

  static std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  std::string root;
};

TEST(RecordFilePath, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(RecordFilePath("/x/state", "/home/u"), "/x/state/pelora-update/updates.jsonl");
  // Unset, empty or relative: the default under HOME.
  EXPECT_EQ(RecordFilePath(nullptr, "/home/u"), "/home/u/.local/state/pelora-update/updates.jsonl");
  EXPECT_EQ(RecordFilePath("", "/home/u"), "/home/u/.local/state/pelora-update/updates.jsonl");
  EXPECT_EQ(RecordFilePath("state", "/home/u"), "/home/u/.local/state/pelora-update/updates.jsonl");
  EXPECT_EQ(RecordFilePath(nullptr, nullptr), "");
  EXPECT_EQ(RecordFilePath(nullptr, ""), "");
  EXPECT_EQ(RecordFilePath("rel", "rel"), "");
}

TEST_F(RecordFileTest, CreatesItsFoldersAndAppendsWholeLines) {
  const RecordFile file(root + "/a/b/pelora-update/updates.jsonl");
  EXPECT_EQ(file.Append("{\"n\":1}\n"), 0);
  EXPECT_EQ(file.Append("{\"n\":2}\n"), 0);
  EXPECT_EQ(Contents(file.path()), "{\"n\":1}\n{\"n\":2}\n");
  struct stat info {};
  ASSERT_EQ(stat((root + "/a/b").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u) << "the state folder is the user's own";
  ASSERT_EQ(stat(file.path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RecordFileTest, PastItsLimitBecomesTheOneOlderFile) {
  const std::string path = root + "/updates.jsonl";
  const RecordFile file(path, 30);
  const std::string line1(19, '1'), line2(9, '2'), line3(19, '3'), line4(19, '4');
  EXPECT_EQ(file.Append(line1 + "\n"), 0);
  EXPECT_EQ(file.Append(line2 + "\n"), 0);  // 30 bytes: at the limit, not past it
  EXPECT_EQ(Contents(path), line1 + "\n" + line2 + "\n");
  EXPECT_EQ(file.Append(line3 + "\n"), 0);
  EXPECT_EQ(Contents(path + ".1"), line1 + "\n" + line2 + "\n");
  EXPECT_EQ(Contents(path), line3 + "\n");
  EXPECT_EQ(file.Append(line4 + "\n"), 0);  // the older file is replaced, never a third kept
  EXPECT_EQ(Contents(path + ".1"), line3 + "\n");
  EXPECT_EQ(Contents(path), line4 + "\n");
  EXPECT_FALSE(fs::exists(path + ".2"));
}

TEST_F(RecordFileTest, ALineLongerThanTheLimitStillGoesIn) {
  const std::string path = root + "/updates.jsonl";
  const RecordFile file(path, 10);
  const std::string longLine(50, 'x');
  EXPECT_EQ(file.Append(longLine + "\n"), 0);
  EXPECT_EQ(Contents(path), longLine + "\n");
  EXPECT_FALSE(fs::exists(path + ".1")) << "an empty file is not rotated";
}

// Two programs that end their updates at once: every line arrives whole, none is lost, and the
// rotations between them keep one older file.
TEST_F(RecordFileTest, TwoWritersAtOnceNeverInterleaveOrLoseLines) {
  const std::string path = root + "/updates.jsonl";
  constexpr int kLines = 200;
  const std::size_t limit = 32 * 1024;
  pid_t children[2];
  for (int writer = 0; writer < 2; ++writer) {
    children[writer] = fork();
    ASSERT_GE(children[writer], 0);
    if (children[writer] == 0) {
      const RecordFile file(path, limit);
      int failures = 0;
      for (int n = 0; n < kLines; ++n) {
        const std::string line = std::string(1, static_cast<char>('a' + writer)) +
                                 std::string(400, static_cast<char>('a' + writer)) + " " +
                                 std::to_string(n) + "\n";
        failures += file.Append(line) != 0;
      }
      _exit(failures == 0 ? 0 : 1);
    }
  }
  for (const pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::size_t lines = 0;
  for (const std::string& name : {path + ".1", path}) {
    std::istringstream in(Contents(name));
    for (std::string line; std::getline(in, line); ++lines) {
      ASSERT_GE(line.size(), 402u) << line.substr(0, 80);
      EXPECT_EQ(line.find_first_not_of(line[0]), 401u) << "one writer's line, whole";
    }
  }
  // Each file holds at most the limit; the lines of the rotations before the last are gone.
  EXPECT_LE(fs::file_size(path), limit);
  EXPECT_LE(fs::file_size(path + ".1"), limit);
  EXPECT_GT(lines, limit / 410);
}

struct Unwritable {
  const char* name;
  int error;
};

// Each place a record cannot go gives the errno of the call that failed, and nothing hangs.
TEST_F(RecordFileTest, AnUnwritablePlaceGivesItsError) {
  // A full disk.
  EXPECT_EQ(RecordFile("/dev/full").Append("{}\n"), ENOSPC);
  // No place at all (no HOME).
  EXPECT_EQ(RecordFile("").Append("{}\n"), ENOENT);
  // A state folder that is a file.
  std::ofstream(root + "/file") << "x";
  EXPECT_EQ(RecordFile(root + "/file/pelora-update/updates.jsonl").Append("{}\n"), ENOTDIR);
  // The records file is a folder.
  fs::create_directories(root + "/dir/updates.jsonl");
  EXPECT_EQ(RecordFile(root + "/dir/updates.jsonl").Append("{}\n"), EISDIR);
}

// A home the user may not write to: root writes anywhere, so the check runs as nobody then.
TEST_F(RecordFileTest, AReadOnlyHomeGivesPermissionDenied) {
  const std::string home = root + "/home";
  fs::create_directories(home);
  chmod(home.c_str(), 0555);
  chmod(root.c_str(), 0755);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
      _exit(100);
    }
    const int error = RecordFile(home + "/.local/state/pelora-update/updates.jsonl").Append("{}\n");
    _exit(error == EACCES ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(fs::exists(home + "/.local"));
}

}  // namespace
