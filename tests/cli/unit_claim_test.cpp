#include <gtest/gtest.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <string>

#include "tests/cli/cli_fixture.h"

namespace {

// A claim that fails for another reason than a holder: the lock cannot be taken (EACCES), the
// node is gone between opening and claiming (ENOENT), or the system fails it (EIO). The unit is
// sent nothing, and every command names the failure with its OS error, not "no answer" or "no
// unit".
struct ClaimCase {
  const char* name;
  int osError;
  const char* codeLine;
};

class ClaimFailureTest : public CliTest, public ::testing::WithParamInterface<ClaimCase> {
 protected:
  std::string Expected() const { return T(IDS_UNIT_NOT_CLAIMED) + "\n" + GetParam().codeLine; }
};

TEST_P(ClaimFailureTest, UpdateNamesTheClaimAndItsOsErrorAndSendsNothing) {
  auto unit = Plug("/dev/hidraw1");
  claims.failing = {{"/dev/hidraw1", static_cast<std::uint32_t>(GetParam().osError)}};
  EXPECT_EQ(Run({"update", "--yes"}), 5);
  EXPECT_EQ(console.err, Expected() + "\n");
  EXPECT_TRUE(unit->requests().empty()) << "not even an identification";
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_P(ClaimFailureTest, ListAndItsJsonNameTheClaimBesideAUsableUnit) {
  auto failing = Plug("/dev/hidraw1");
  Plug("/dev/hidraw2");
  claims.failing = {{"/dev/hidraw1", static_cast<std::uint32_t>(GetParam().osError)}};
  EXPECT_EQ(Run({"list", "--json"}), 0);
  const nlohmann::json units = nlohmann::json::parse(console.out);
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0]["state"], "no-answer");
  EXPECT_EQ(units[0]["result"], RESULT_CLAIM_FAILED);
  EXPECT_EQ(units[0]["osError"], GetParam().osError);
  EXPECT_EQ(units[0]["message"], Expected());
  EXPECT_EQ(units[1]["state"], "ready");
  EXPECT_TRUE(failing->requests().empty());
  EXPECT_EQ(transport.openHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    OsErrors, ClaimFailureTest,
    ::testing::Values(ClaimCase{"PermissionDenied", EACCES,
                                "The system shows following errorcode: 0xfffffff9-0x0000000d"},
                      ClaimCase{"NodeGone", ENOENT,
                                "The system shows following errorcode: 0xfffffff9-0x00000002"},
                      ClaimCase{"IoError", EIO,
                                "The system shows following errorcode: 0xfffffff9-0x00000005"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, AClaimFailureIsSaidInGerman) {
  UseLanguage(Language::German);
  Plug("/dev/hidraw1");
  claims.failing = {{"/dev/hidraw1", EIO}};
  EXPECT_EQ(Run({"update", "--yes"}), 5);
  EXPECT_EQ(console.err,
            T(IDS_UNIT_NOT_CLAIMED) + "\nDas System meldet Fehlercode 0xfffffff9-0x00000005\n");
  EXPECT_NE(T(IDS_UNIT_NOT_CLAIMED),
            Utf8FromWide(TableCatalogue(Language::English).Text(IDS_UNIT_NOT_CLAIMED)));
}

}  // namespace
