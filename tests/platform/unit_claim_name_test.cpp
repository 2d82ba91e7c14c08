#include "platform/win32/unit_claim_name.h"

#include <gtest/gtest.h>

namespace {

// Paths that Windows may give for one device in another case of A to Z share one claim; any other
// difference is another device. The name is a valid object name in the global namespace.
TEST(UnitClaimName, FoldsAsciiCaseOnlyAndNamesAGlobalObject) {
  const std::wstring path = L"\\\\?\\hid#vid_1209&pid_0002#7&1a2b3c4d&0&0000#{4d1e55b2}";
  const std::wstring name = UnitClaimName(path);
  EXPECT_EQ(name.rfind(L"Global\\", 0), 0u);
  EXPECT_EQ(name.find(L'\\', 7), std::wstring::npos) << "no backslash after the namespace";
  EXPECT_LT(name.size(), 260u);

  EXPECT_EQ(UnitClaimName(L"\\\\?\\HID#VID_1209&PID_0002#7&1A2B3C4D&0&0000#{4D1E55B2}"), name);
  EXPECT_NE(UnitClaimName(L"\\\\?\\hid#vid_1209&pid_0002#7&1a2b3c4d&0&0001#{4d1e55b2}"), name);
  EXPECT_NE(UnitClaimName(L"\\\\?\\hid#vid_1209&pid_0002#7&1a2b3c4d&0&0000#[4d1e55b2}"), name);
  EXPECT_NE(UnitClaimName(L"\\\\?\\hid#Ger\u00e4t"), UnitClaimName(L"\\\\?\\hid#Ger\u00c4t"));
}

}  // namespace
