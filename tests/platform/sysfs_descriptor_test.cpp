#include "platform/hidapi/sysfs_descriptor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// A fake /sys/class/hidraw: one node per test, written as Linux lays it out.
class SysfsTree : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("sysfs-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }

  void AddNode(const std::string& node, const std::vector<std::uint8_t>& descriptor) {
    fs::create_directories(root_ / node / "device");
    std::ofstream file(root_ / node / "device" / "report_descriptor", std::ios::binary);
    file.write(reinterpret_cast<const char*>(descriptor.data()),
               static_cast<std::streamsize>(descriptor.size()));
  }

  std::string root() const { return root_.string(); }

 private:
  fs::path root_;
};

TEST_F(SysfsTree, ReadsTheDescriptorOfTheNodeTheDevicePathNames) {
  AddNode("hidraw0", {0x05, 0x01});
  AddNode("hidraw3", {0x06, 0x00, 0xFF, 0xC0});
  std::vector<std::uint8_t> descriptor;
  ASSERT_TRUE(ReadHidrawReportDescriptor(root(), "/dev/hidraw3", descriptor));
  EXPECT_EQ(descriptor, (std::vector<std::uint8_t>{0x06, 0x00, 0xFF, 0xC0}));
}

TEST_F(SysfsTree, ReadsTheLargestDescriptorTheKernelGivesAndRefusesALargerFile) {
  const std::vector<std::uint8_t> largest(MAX_REPORT_DESCRIPTOR_BYTES, 0xA5);
  AddNode("hidraw1", largest);
  AddNode("hidraw2", std::vector<std::uint8_t>(MAX_REPORT_DESCRIPTOR_BYTES + 1, 0xA5));
  std::vector<std::uint8_t> descriptor;
  ASSERT_TRUE(ReadHidrawReportDescriptor(root(), "/dev/hidraw1", descriptor));
  EXPECT_EQ(descriptor, largest);
  errno = 0;
  EXPECT_FALSE(ReadHidrawReportDescriptor(root(), "/dev/hidraw2", descriptor));
  EXPECT_EQ(errno, EFBIG);
}

TEST_F(SysfsTree, FailsWithErrnoForAPathThatNamesNoReadableNode) {
  AddNode("hidraw0", {0x05, 0x01});
  struct Case {
    const char* path;
    int error;
  };
  for (const Case c : {Case{"/dev/hidraw7", ENOENT}, Case{"/dev/", ENODEV}, Case{"", ENODEV},
                       Case{"/dev/..", ENODEV}, Case{"/dev/.", ENODEV}}) {
    SCOPED_TRACE(c.path);
    std::vector<std::uint8_t> descriptor{0x42};
    errno = 0;
    EXPECT_FALSE(ReadHidrawReportDescriptor(root(), c.path, descriptor));
    EXPECT_EQ(errno, c.error);
    EXPECT_EQ(descriptor, (std::vector<std::uint8_t>{0x42}));
  }
}

}  // namespace
