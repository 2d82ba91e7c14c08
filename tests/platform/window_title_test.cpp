#include "texts/window_title.h"

#include <gtest/gtest.h>

namespace {

TEST(MainWindowTitle, NamesModelAndVersionWithTrailingSpace) {
  EXPECT_EQ(MainWindowTitle(), L"TALVERO PELORA FW Updater 3.3 ");
}

}  // namespace
