// Judges what the guest's scenarios did (tests/guest/scenarios.sh, run by tests/guest/run.sh):
// the unmodified programs on the kernel's hidraw, Debian's hidapi, udev with the packaged rule
// and Wine's own HID stack, against the simulated unit behind /dev/uhid.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "build_facts.h"
#include "protocol/unit_report.h"
#include "tests/guest/guest_results.h"
#include "tests/support/expected_requests.h"
#include "texts/message_catalogue.h"
#include "texts/message_format.h"
#include "texts/text_encoding.h"

namespace guest {
namespace {

constexpr std::size_t kBlocks = build_facts::kImageBlocks;

std::string Results() {
  const char* folder = std::getenv("GUEST_RESULTS");
  return folder != nullptr ? folder : GUEST_RESULTS_DEFAULT;
}

std::string Folder(const std::string& unit) {
  return Results() + "/" + unit;
}

std::vector<std::uint8_t> Image() {
  return ReadBytes(build_facts::kImagePath);
}

std::string Text(MessageId id) {
  return Utf8FromWide(TableText(id, Language::English));
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string Node(const std::string& unit) {
  std::string node = ReadText(Folder(unit) + "/node");
  while (!node.empty() && node.back() == '\n') {
    node.pop_back();
  }
  return node;
}

std::string Describe(const ProgramRun& run) {
  return "status " + (run.status ? std::to_string(*run.status) : std::string("none")) +
         "\nstdout: " + run.out + "\nstderr: " + run.err;
}

// The requests match the patterns one for one, byte for byte where the protocol fixes them.
void ExpectRequests(const std::vector<TracedRequest>& trace,
                    const std::vector<expected::RequestPattern>& patterns) {
  ASSERT_EQ(trace.size(), patterns.size());
  int reported = 0;
  for (std::size_t i = 0; i < trace.size() && reported < 5; ++i) {
    const std::string mismatch = expected::Mismatch(patterns[i], trace[i].bytes);
    if (!mismatch.empty()) {
      ADD_FAILURE() << "request " << i << ": " << mismatch;
      ++reported;
    }
    EXPECT_EQ(trace[i].bytes.size(), 64u) << "request " << i << " not at the full report length";
  }
}

std::vector<expected::RequestPattern> Concat(std::vector<expected::RequestPattern> a,
                                             const std::vector<expected::RequestPattern>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// No wait ended early: each request of an update (from the lock on) came at least the mandated
// time after the one before it. The unit stamps a request when the kernel hands it over, not when
// the program wrote it, so one request delivered late under the emulator shortens the gap after it
// (seen: 0.54 ms short of 5,020 ms on a loaded machine). The allowance is far below any wait, so a
// wait left out still fails; the exact waits are proven on the host suites' own clock.
void ExpectMandatedWaits(const std::vector<TracedRequest>& update, std::size_t blocks = kBlocks) {
  constexpr std::uint64_t kDeliveryAllowanceUs = 2'000;
  const auto atLeast = [](std::uint64_t waitMs) { return waitMs * 1000 - kDeliveryAllowanceUs; };
  ASSERT_EQ(update.size(), 4 + blocks + 2);
  const auto gapUs = [&](std::size_t i) { return update[i].requestUs - update[i - 1].requestUs; };
  EXPECT_GE(gapUs(1), atLeast(20));
  EXPECT_GE(gapUs(2), atLeast(20));
  EXPECT_GE(gapUs(3), atLeast(1000 + 4000 + 20)) << "erase reply wait, settle wait, stage gap";
  for (std::size_t i = 4; i <= 4 + blocks; ++i) {
    ASSERT_GE(gapUs(i), atLeast(20)) << "before request " << i;
  }
}

// The last update in a trace: its requests from the lock on (the trace's tail).
std::vector<TracedRequest> Tail(const std::vector<TracedRequest>& trace, std::size_t count) {
  if (trace.size() < count) {
    return {};
  }
  return {trace.end() - static_cast<std::ptrdiff_t>(count), trace.end()};
}

TEST(GuestCommandLine, ListsTheUnitOnHidrawPlainAndAsJson) {
  const ProgramRun list = ReadRun(Folder("cli-list"), "list");
  const ProgramRun json = ReadRun(Folder("cli-list"), "json");
  const std::string node = Node("cli-list");
  ASSERT_TRUE(node.starts_with("/dev/hidraw")) << node;

  EXPECT_EQ(list.status, 0) << Describe(list);
  EXPECT_EQ(list.out, node + "  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n")
      << Describe(list);
  EXPECT_EQ(json.status, 0) << Describe(json);
  const nlohmann::json units = nlohmann::json::parse(json.out, nullptr, false);
  ASSERT_FALSE(units.is_discarded()) << Describe(json);
  ASSERT_EQ(units.size(), 1u) << Describe(json);
  ASSERT_TRUE(units[0].is_object()) << Describe(json);
  // A missing field reads as null and fails its check, rather than ending the checks.
  const auto field = [&](const char* name) { return units[0].value(name, nlohmann::json()); };
  EXPECT_EQ(field("path"), node);
  EXPECT_EQ(field("unit"), "MAVIRA");
  EXPECT_EQ(field("productId"), 2);
  EXPECT_EQ(field("escVersion"), "3.2");
  EXPECT_EQ(field("state"), "ready");
  // Each listing identified the unit once, through the kernel's hidraw, and sent nothing else.
  ExpectRequests(ReadTrace(Folder("cli-list")),
                 Concat(expected::ReadyIdentification(), expected::ReadyIdentification()));
}

TEST(GuestCommandLine, UnitLeavingTheBusDuringTheTransferFailsTheBlockStageWithoutHanging) {
  // The unit takes the tenth block off the bus (UHID_DESTROY) instead of answering it.
  const ProgramRun update = ReadRun(Folder("cli-vanish"), "update");
  ASSERT_TRUE(update.status.has_value());
  EXPECT_NE(*update.status, 124) << "the program hung: ended by the 120 s time-out";
  EXPECT_EQ(*update.status, 14) << Describe(update);
  EXPECT_TRUE(Contains(update.err, "\n" + Text(IDS_UPDATE_FAILED) + "\n" +
                                       Text(IDS_WRITE_BLOCK_FAILED) +
                                       "\nThe system shows following errorcode: 0x"))
      << Describe(update);
  EXPECT_TRUE(Contains(update.err, Text(IDS_RETRY_HINT))) << Describe(update);

  const std::vector<std::uint8_t> image = Image();
  ExpectRequests(ReadTrace(Folder("cli-vanish")),
                 Concat(expected::ReadyIdentification(), expected::UpdateRequests(image, 4 + 9)));
}

TEST(GuestUdev, WithoutTheRuleTheNodeIsRootsAndTheUserIsToldToInstallIt) {
  const std::string node = Node("no-rule");
  EXPECT_EQ(ReadText(Folder("no-rule") + "/access"), "root root 600\n");
  const ProgramRun list = ReadRun(Folder("no-rule"), "list");
  EXPECT_EQ(list.status, 4) << Describe(list);
  // The refusal, the node as the system shows it, and that no rule is installed.
  EXPECT_TRUE(list.err.starts_with(
      Utf8FromWide(
          FormatWithText(TableText(IDS_CLI_ACCESS_DENIED, Language::English), WideFromUtf8(node))) +
      "\nThe node belongs to user root and group root, with mode crw-------.\n"
      "No udev rule for programming units is installed ("))
      << Describe(list);
  EXPECT_TRUE(ReadTrace(Folder("no-rule")).empty())
      << "nothing reaches a unit the user may not open";
}

TEST(GuestUdev, ThePackagedRuleLetsAPlugdevMemberListAndUpdate) {
  EXPECT_EQ(ReadText(Results() + "/dpkg.status"), "0\n") << ReadText(Results() + "/dpkg.log");
  EXPECT_EQ(ReadText(Folder("with-rule") + "/access"), "root plugdev 660\n");

  const ProgramRun list = ReadRun(Folder("with-rule"), "list");
  EXPECT_EQ(list.status, 0) << Describe(list);
  EXPECT_EQ(list.out, Node("with-rule") + "  MAVIRA 1.2  ESC-bootloader 1.5  ESC 3.2  ready\n");

  const ProgramRun update = ReadRun(Folder("with-rule"), "update");
  EXPECT_EQ(update.status, 0) << Describe(update);
  EXPECT_TRUE(Contains(update.out, Text(IDS_SUCCESS))) << Describe(update);

  // The whole update through hidraw: every request byte for byte, no wait cut short, and the
  // flash holding the image.
  const std::vector<std::uint8_t> image = Image();
  const std::vector<TracedRequest> trace = ReadTrace(Folder("with-rule"));
  ExpectRequests(trace,
                 Concat(Concat(expected::ReadyIdentification(), expected::ReadyIdentification()),
                        expected::UpdateRequests(image)));
  ExpectMandatedWaits(Tail(trace, 4 + kBlocks + 2));
  EXPECT_EQ(ReadBytes(Folder("with-rule") + "/flash.bin"), expected::FlashAfterUpdate(image));
}

// A second program opens the node of a unit that pelora-update is updating, without a claim, once
// the update is in its block stage (tests/guest/second_talker). One that listens first, as our
// programs do, hears the replies meant for pelora-update and sends nothing; the update ends whole.
TEST(GuestSecondTalker, OneThatListensFirstHearsTheUpdateAndSendsNothing) {
  const ProgramRun talker = ReadRun(Folder("second-polite"), "talker");
  EXPECT_EQ(talker.status, 8) << Describe(talker);
  const ProgramRun update = ReadRun(Folder("second-polite"), "update");
  EXPECT_EQ(update.status, 0) << Describe(update);
  EXPECT_TRUE(Contains(update.out, Text(IDS_SUCCESS))) << Describe(update);

  const std::vector<std::uint8_t> image = Image();
  ExpectRequests(ReadTrace(Folder("second-polite")),
                 Concat(expected::ReadyIdentification(), expected::UpdateRequests(image)));
  EXPECT_EQ(ReadBytes(Folder("second-polite") + "/flash.bin"), expected::FlashAfterUpdate(image));
}

// One that writes at once: the reply to its request reaches pelora-update too, which stops before
// a later request (no closing pair: that too would be written into the other program's
// conversation) and says another program writes the unit, never that it succeeded.
TEST(GuestSecondTalker, OneThatWritesAtOnceStopsTheUpdateWithItsOwnMessage) {
  const ProgramRun talker = ReadRun(Folder("second-blind"), "talker");
  ASSERT_EQ(talker.status, 0) << Describe(talker);
  const ProgramRun update = ReadRun(Folder("second-blind"), "update");
  EXPECT_NE(update.status, 0) << Describe(update);
  EXPECT_TRUE(Contains(update.err + update.out, Text(IDS_OTHER_WRITER))) << Describe(update);
  EXPECT_FALSE(Contains(update.out, Text(IDS_SUCCESS))) << Describe(update);

  const std::vector<TracedRequest> trace = ReadTrace(Folder("second-blind"));
  const std::size_t identification = expected::ReadyIdentification().size();
  const auto foreign = std::find_if(
      trace.begin() + static_cast<std::ptrdiff_t>(std::min(identification, trace.size())),
      trace.end(), [](const TracedRequest& request) {
        return request.bytes.size() > 1 && request.bytes[1] == CMD_IDENTIFY;
      });
  ASSERT_NE(foreign, trace.end()) << "the second program's request never reached the unit";
  // Replies carry nothing that names their request, so the foreign one is found as a report too
  // many at one of the link's looks; the unit behind QEMU answers late enough to let a few more
  // blocks go first. But the update stops before its end, and sends no closing pair after it.
  const auto after =
      std::span(trace).subspan(static_cast<std::size_t>(foreign - trace.begin()) + 1);
  EXPECT_TRUE(std::all_of(after.begin(), after.end(), [](const TracedRequest& request) {
    return request.bytes.size() > 1 && request.bytes[1] == CMD_WRITE_BLOCK;
  })) << "only blocks in flight may follow the second program's request";
  const std::size_t blocks = static_cast<std::size_t>(
      std::count_if(trace.begin(), trace.end(), [](const TracedRequest& request) {
        return request.bytes.size() > 1 && request.bytes[1] == CMD_WRITE_BLOCK;
      }));
  EXPECT_LT(blocks, kBlocks) << "the update went on to its last block";
}

// Run when the guest stage was given a release's package (tests/guest/run.sh --release-deb): that
// package, installed over the test package, updates a unit as a plugdev member with the image the
// release carries, which need not be this build's.
TEST(GuestRelease, TheReleasesPackageUpdatesAUnitThroughHidraw) {
  const std::string imagePath = Results() + "/release-image.path";
  if (ReadText(imagePath).empty()) {
    GTEST_SKIP() << "no release package was given to the guest stage";
  }
  std::string releaseImage = ReadText(imagePath);
  while (!releaseImage.empty() && releaseImage.back() == '\n') {
    releaseImage.pop_back();
  }
  EXPECT_EQ(ReadText(Folder("release") + "/dpkg.status"), "0\n")
      << ReadText(Folder("release") + "/dpkg.log");
  const ProgramRun version = ReadRun(Folder("release"), "version");
  EXPECT_EQ(version.status, 0) << Describe(version);
  const ProgramRun update = ReadRun(Folder("release"), "update");
  EXPECT_EQ(update.status, 0) << Describe(update);
  EXPECT_TRUE(Contains(update.out, Text(IDS_SUCCESS))) << Describe(update);

  const std::vector<std::uint8_t> image = ReadBytes(releaseImage);
  ASSERT_FALSE(image.empty()) << releaseImage;
  const std::vector<TracedRequest> trace = ReadTrace(Folder("release"));
  ExpectRequests(trace, Concat(expected::ReadyIdentification(), expected::UpdateRequests(image)));
  const std::size_t blocks = expected::UpdateBlocks(image).size();
  ExpectMandatedWaits(Tail(trace, 4 + blocks + 2), blocks);
  EXPECT_EQ(ReadBytes(Folder("release") + "/flash.bin"), expected::FlashAfterUpdate(image));
}

TEST(GuestUdev, TheSameRuleMatchesARealUsbHidDevice) {
  // QEMU's USB keyboard (vendor 0627, product 0001) through xHCI and usbhid, with the rule made
  // from the same template for that vendor: its hidraw node gets the same access.
  EXPECT_EQ(ReadText(Results() + "/usb/access"), "root plugdev 660\n");
}

// The Windows program's own checks ran in the guest (guest_driver); their log is shown here.
void ExpectDriverPassed(const std::string& unit) {
  const std::string out = ReadText(Folder(unit) + "/driver.out");
  EXPECT_EQ(ReadText(Folder(unit) + "/driver.status"), "0\n")
      << out << ReadText(Folder(unit) + "/driver.err");
  EXPECT_TRUE(Contains(out, "[  PASSED  ]")) << out;
}

TEST(GuestWine, StartUpAndAWholeUpdateThroughWinesOwnHidStack) {
  ExpectDriverPassed("wine-update");
  // Start-up identified the unit; the second start identified it again and updated it.
  const std::vector<std::uint8_t> image = Image();
  const std::vector<TracedRequest> trace = ReadTrace(Folder("wine-update"));
  ExpectRequests(trace,
                 Concat(Concat(expected::ReadyIdentification(), expected::ReadyIdentification()),
                        expected::UpdateRequests(image)));
  ExpectMandatedWaits(Tail(trace, 4 + kBlocks + 2));
  EXPECT_EQ(ReadBytes(Folder("wine-update") + "/flash.bin"), expected::FlashAfterUpdate(image));
}

// GUEST_WINE_ROUNDS=N (tests/guest/run.sh) plays the whole update N times: each further round
// went as the first did, with no reply lost on the way.
TEST(GuestWine, EveryFurtherRoundUpdatedTheUnitWhole) {
  const std::string text = ReadText(Results() + "/wine-rounds");
  const int rounds = text.empty() ? 1 : std::stoi(text);
  const std::vector<std::uint8_t> image = Image();
  for (int round = 2; round <= rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string unit = "wine-update-" + std::to_string(round);
    ExpectDriverPassed(unit);
    const std::vector<TracedRequest> trace = ReadTrace(Folder(unit));
    ExpectRequests(trace,
                   Concat(Concat(expected::ReadyIdentification(), expected::ReadyIdentification()),
                          expected::UpdateRequests(image)));
    EXPECT_EQ(ReadBytes(Folder(unit) + "/flash.bin"), expected::FlashAfterUpdate(image));
  }
}

TEST(GuestWine, UnplugAndReplugReachTheDialog) {
  ExpectDriverPassed("wine-replug");
  // The replugged unit was identified anew: the arrival reached the program through winebus.
  const std::vector<TracedRequest> trace = ReadTrace(Folder("wine-replug"));
  ExpectRequests(trace, Concat(expected::ReadyIdentification(), expected::ReadyIdentification()));
  ASSERT_EQ(trace.size(), 6u);
  EXPECT_EQ(trace[2].plug, 1);
  EXPECT_EQ(trace[3].plug, 2);
}

}  // namespace
}  // namespace guest
