#include "texts/window_title.h"

#include <gtest/gtest.h>

#include <string>

#include "build_facts.h"

namespace {

TEST(MainWindowTitle, NamesModelAndVersionWithTrailingSpace) {
  EXPECT_EQ(MainWindowTitle(),
            L"TALVERO PELORA FW Updater " + std::wstring(build_facts::kVersionTextW) + L" ");
}

}  // namespace
