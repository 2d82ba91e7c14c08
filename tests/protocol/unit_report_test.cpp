#include "protocol/unit_report.h"
#include "tests/support/named_cases.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace {

using named_cases::PrintTo;

using Bytes = std::vector<std::uint8_t>;

// A reply of `size` bytes: `prefix` at its start, zero after.
Bytes ReplyOf(Bytes prefix, std::size_t size) {
  prefix.resize(size, 0);
  return prefix;
}

Bytes Counting(std::size_t n, std::uint8_t first) {
  Bytes bytes(n);
  for (std::size_t i = 0; i < n; ++i) {
    bytes[i] = static_cast<std::uint8_t>(first + i);
  }
  return bytes;
}

// --- little-endian helpers ------------------------------------------------------------------

TEST(LittleEndian, ReadsLowByteFirstAtAnyOffset) {
  const Bytes bytes = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  EXPECT_EQ(GetU16LE(bytes, 0), 0x2211);
  EXPECT_EQ(GetU16LE(bytes, 4), 0x6655);
  EXPECT_EQ(GetU32LE(bytes, 0), 0x44332211u);
  EXPECT_EQ(GetU32LE(bytes, 2), 0x66554433u);
  const Bytes high = {0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(GetU32LE(high, 0), 0xFFFFFFFFu);
}

TEST(LittleEndian, WritesLowByteFirstAndTouchesOnlyItsField) {
  Bytes bytes(8, 0xAA);
  PutU32LE(bytes, 1, 0x6B2E9D47);
  PutU16LE(bytes, 5, 0x0A07);
  EXPECT_EQ(bytes, (Bytes{0xAA, 0x47, 0x9D, 0x2E, 0x6B, 0x07, 0x0A, 0xAA}));
}

// --- request bytes --------------------------------------------------------------------------

struct RequestCase {
  std::string name;
  UnitRequest request;
  Bytes expectedStart;  // every byte after these must be zero
};

Bytes FullBlockRequest() {
  Bytes expected = {0x01, 0x1B, 0x30, 0x00};
  const Bytes data = Counting(48, 0xC0);
  expected.insert(expected.end(), data.begin(), data.end());
  return expected;
}

UnitRequest FullBlock() {
  UnitRequest request;
  const Bytes data = Counting(48, 0xC0);
  // A failure here leaves the request zero and shows as wrong bytes in the test.
  (void)BuildWriteBlockRequest(data, 12, request);
  return request;
}

class RequestBytes : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestBytes, MatchTheCommandTableAndAreZeroElsewhere) {
  const RequestCase& c = GetParam();
  ASSERT_EQ(c.request.bytes.size(), 60u);
  Bytes expected = c.expectedStart;
  expected.resize(60, 0x00);
  EXPECT_EQ(Bytes(c.request.bytes.begin(), c.request.bytes.end()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, RequestBytes,
    ::testing::Values(
        RequestCase{"Identify", BuildIdentifyRequest(), {0x01, 0x08, 0x00}},
        RequestCase{"ReadUnitMemory",
                    BuildReadUnitMemoryRequest(),
                    {0x01, 0x0A, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08}},
        RequestCase{"SystemLockSet", BuildSystemLockRequest(true), {0x01, 0x0B, 0x01, 0x01}},
        RequestCase{"SystemLockRelease", BuildSystemLockRequest(false), {0x01, 0x0B, 0x01, 0x00}},
        RequestCase{"WriteBlockOf12Words", FullBlock(), FullBlockRequest()},
        RequestCase{"ReadEscInfo",
                    BuildReadEscInfoRequest(),
                    {0x01, 0x1D, 0x08, 0x00, 0x20, 0x00, 0x00, 0x00, 0xE0, 0xFF, 0xFF, 0xFF}},
        RequestCase{"Erase", BuildEraseRequest(), {0x01, 0x1E, 0x04, 0x00, 0x47, 0x9D, 0x2E, 0x6B}},
        RequestCase{"SetAddress",
                    BuildSetAddressRequest(),
                    {0x01, 0x1F, 0x09, 0x01, 0x00, 0x00, 0x00, 0x00, 0x47, 0x9D, 0x2E, 0x6B}},
        RequestCase{
            "EscWriteProtectRelease", BuildEscWriteProtectRequest(false), {0x01, 0x20, 0x01, 0x00}},
        RequestCase{
            "EscWriteProtectSet", BuildEscWriteProtectRequest(true), {0x01, 0x20, 0x01, 0x01}},
        RequestCase{
            "ReadEscBootInfoWithLength32", BuildReadEscBootInfoRequest(0x20), {0x01, 0x22, 0x20}},
        RequestCase{"ReadEscBootInfoWithLength0", BuildReadEscBootInfoRequest(0x00), {0x01, 0x22}}),
    [](const auto& info) { return info.param.name; });

struct WriteBlockCase {
  std::string name;
  std::size_t sourceBytes;
  std::size_t wordCount;
  ResultCode expected;
};

class WriteBlockBuilding : public ::testing::TestWithParam<WriteBlockCase> {};

TEST_P(WriteBlockBuilding, SendsExactlyTheWordsAskedForOrNothing) {
  const WriteBlockCase& c = GetParam();
  // Sized exactly, so that a read past the block shows under the address sanitizer.
  const Bytes source = Counting(c.sourceBytes, 0x10);
  UnitRequest request;
  request.bytes.fill(0xEE);
  ASSERT_EQ(BuildWriteBlockRequest(source, c.wordCount, request), c.expected);

  if (c.expected != RESULT_OK) {
    for (std::uint8_t b : request.bytes) {
      ASSERT_EQ(b, 0xEE) << "a refused block must leave the request untouched";
    }
    return;
  }
  const std::size_t dataBytes = 4 * c.wordCount;
  EXPECT_EQ(request.bytes[0], 0x01);
  EXPECT_EQ(request.bytes[1], 0x1B);
  EXPECT_EQ(request.bytes[2], dataBytes);
  EXPECT_EQ(request.bytes[3], 0x00);
  for (std::size_t i = 0; i < dataBytes; ++i) {
    EXPECT_EQ(request.bytes[4 + i], source[i]) << "data byte " << i;
  }
  for (std::size_t i = 4 + dataBytes; i < request.bytes.size(); ++i) {
    EXPECT_EQ(request.bytes[i], 0x00) << "byte " << i << " after the block";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteBlockBuilding,
    ::testing::Values(WriteBlockCase{"NoWords", 0, 0, RESULT_OK},
                      WriteBlockCase{"OneWord", 4, 1, RESULT_OK},
                      WriteBlockCase{"FinalBlockOfFourWords", 16, 4, RESULT_OK},
                      WriteBlockCase{"FourteenWordsFillTheReport", 56, 14, RESULT_OK},
                      WriteBlockCase{"LongerSourceSendsOnlyTheWordsAskedFor", 48, 3, RESULT_OK},
                      WriteBlockCase{"FifteenWordsRefused", 60, 15, RESULT_NO_DEVICE},
                      WriteBlockCase{"SourceShorterThanTheWordsRefused", 7, 2, RESULT_NO_DEVICE},
                      WriteBlockCase{"HugeWordCountRefused", 8,
                                     std::numeric_limits<std::size_t>::max(), RESULT_NO_DEVICE}),
    [](const auto& info) { return info.param.name; });

TEST(EncodeRequest, PadsWithZerosToTheReportLength) {
  Bytes report(65, 0xAA);
  ASSERT_TRUE(EncodeRequest(BuildEraseRequest(), report));
  Bytes expected = {0x01, 0x1E, 0x04, 0x00, 0x47, 0x9D, 0x2E, 0x6B};
  expected.resize(65, 0x00);
  EXPECT_EQ(report, expected);
}

TEST(EncodeRequest, FitsExactlySixtyBytesAndRefusesFewer) {
  Bytes exact(60, 0xAA);
  EXPECT_TRUE(EncodeRequest(BuildIdentifyRequest(), exact));
  EXPECT_EQ(exact[59], 0x00);

  Bytes tooShort(59, 0xAA);
  EXPECT_FALSE(EncodeRequest(BuildIdentifyRequest(), tooShort));
  EXPECT_EQ(tooShort, Bytes(59, 0xAA));
}

// --- outcome rules --------------------------------------------------------------------------

using Rule = ResultCode (*)(std::span<const std::uint8_t>);

struct RuleCase {
  std::string name;
  Rule rule;
  Bytes reply;  // complete reply as read
  ResultCode expected;
};

class OutcomeRules : public ::testing::TestWithParam<RuleCase> {};

TEST_P(OutcomeRules, GiveTheExpectedResult) {
  const RuleCase& c = GetParam();
  EXPECT_EQ(c.rule(c.reply), c.expected);
}

constexpr std::size_t kReply = 64;

INSTANTIATE_TEST_SUITE_P(
    StatusRule, OutcomeRules,
    ::testing::Values(
        RuleCase{"NormalReplyIgnoresCodeBytes", ApplyStatusRule,
                 ReplyOf({0x02, 0x00, 0x00, 0x00, 0x05}, kReply), RESULT_OK},
        RuleCase{"AnyStatusButFFIsNormal", ApplyStatusRule,
                 ReplyOf({0x02, 0xFE, 0x00, 0x00, 0x05}, kReply), RESULT_OK},
        RuleCase{"OutcomeFlagIsNotLookedAt", ApplyStatusRule,
                 ReplyOf({0x02, 0x00, 0x00, 0xFF}, kReply), RESULT_OK},
        RuleCase{"RefusedGivesTheUnitsCode", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x05}, kReply), 5},
        RuleCase{"RefusedWithZeroIsSuccess", ApplyStatusRule, ReplyOf({0x02, 0xFF}, kReply),
                 RESULT_OK},
        RuleCase{"RefusedCodeIsThirtyTwoBits", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}, kReply), 0x00010000},
        RuleCase{"RefusedAllOnesIsMinusOne", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}, kReply), -1},
        RuleCase{"RefusedHighBitIsNegative", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80}, kReply),
                 std::numeric_limits<ResultCode>::min()},
        RuleCase{"ShortNormalReplyNeedsOnlyTheStatus", ApplyStatusRule, Bytes{0x02, 0x00},
                 RESULT_OK},
        RuleCase{"NoStatusByteIsReadFailure", ApplyStatusRule, Bytes{0x02}, RESULT_READ_FAILED},
        RuleCase{"RefusedWithoutWholeCodeIsReadFailure", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x05}, 7), RESULT_READ_FAILED},
        RuleCase{"RefusedWithExactlyTheCodeIsRead", ApplyStatusRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x05}, 8), 5}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    LockRule, OutcomeRules,
    ::testing::Values(
        RuleCase{"FlagOneIsSuccess", ApplyLockRule, ReplyOf({0x02, 0x00, 0x00, 0x01}, kReply),
                 RESULT_OK},
        RuleCase{"RefusedStatusWithFlagOneIsSuccess", ApplyLockRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x01, 0x05}, kReply), RESULT_OK},
        RuleCase{"FlagZeroFails", ApplyLockRule, ReplyOf({0x02, 0x00, 0x00, 0x00}, kReply),
                 ERROR_FUNCTION_FAILED},
        RuleCase{"FlagTwoFails", ApplyLockRule, ReplyOf({0x02, 0x00, 0x00, 0x02}, kReply),
                 ERROR_FUNCTION_FAILED},
        RuleCase{"RefusedCodeIsNotTheResult", ApplyLockRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x05}, kReply), ERROR_FUNCTION_FAILED},
        RuleCase{"RefusedWithZeroCodeStillFailsOnFlag", ApplyLockRule,
                 ReplyOf({0x02, 0xFF, 0x00, 0x00}, kReply), ERROR_FUNCTION_FAILED},
        RuleCase{"NoFlagByteIsReadFailure", ApplyLockRule, Bytes{0x02, 0x00, 0x00},
                 RESULT_READ_FAILED},
        RuleCase{"FourBytesAreEnough", ApplyLockRule, Bytes{0x02, 0x00, 0x00, 0x01}, RESULT_OK}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(
    ProtectionReleaseRule, OutcomeRules,
    ::testing::Values(RuleCase{"FlagZeroIsSuccess", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0x00, 0x00, 0x00}, kReply), RESULT_OK},
                      RuleCase{"FlagTwoFails", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0x00, 0x00, 0x02}, kReply), ERROR_FUNCTION_FAILED},
                      RuleCase{"FlagOneFails", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0x00, 0x00, 0x01}, kReply), ERROR_FUNCTION_FAILED},
                      RuleCase{"OtherStatusStillJudgedByFlag", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0x01, 0x00, 0x02}, kReply), ERROR_FUNCTION_FAILED},
                      RuleCase{"RefusedGivesTheUnitsCode", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x07}, kReply), 7},
                      RuleCase{"RefusedWithZeroIsSuccessWhateverTheFlag",
                               ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0xFF, 0x00, 0x02}, kReply), RESULT_OK},
                      RuleCase{"RefusedCodeIsThirtyTwoBits", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}, kReply),
                               0x00010000},
                      RuleCase{"NoFlagByteIsReadFailure", ApplyProtectionReleaseRule,
                               Bytes{0x02, 0x00, 0x00}, RESULT_READ_FAILED},
                      RuleCase{"RefusedWithoutWholeCodeIsReadFailure", ApplyProtectionReleaseRule,
                               ReplyOf({0x02, 0xFF, 0x00, 0x00, 0x07}, 7), RESULT_READ_FAILED}),
    [](const auto& info) { return info.param.name; });

// --- identify and unit memory ---------------------------------------------------------------

TEST(IdentifyReply, RelayModeTakesStateAndVersionWordsWhateverTheStatus) {
  for (std::uint8_t status : {0x00, 0xFF}) {
    SCOPED_TRACE(status);
    const Bytes reply = ReplyOf({0x02, status, 0x0C, 0x00, 0x03, 0x00, 0x34, 0x12, 0x04, 0x03, 0x02,
                                 0x01, 0x08, 0x07, 0x06, 0x05, 0x99},
                                kReply);
    IdentifyReply out;
    ASSERT_EQ(ParseIdentifyReply(reply, out), RESULT_OK);
    EXPECT_EQ(out.unitMode, 0);
    EXPECT_EQ(out.escState, 3);
    EXPECT_EQ(out.unitVersion, 0x01020304u);
  }
}

TEST(IdentifyReply, OtherModeTakesOnlyTheMode) {
  Bytes reply = ReplyOf({0x02, 0x00, 0x0C, 0x02}, kReply);
  for (std::size_t i = 4; i <= 16; ++i) {
    reply[i] = static_cast<std::uint8_t>(0x11 + (i - 4));
  }
  IdentifyReply out;
  ASSERT_EQ(ParseIdentifyReply(reply, out), RESULT_OK);
  EXPECT_EQ(out.unitMode, 2);
  EXPECT_EQ(out.escState, 0);
  EXPECT_EQ(out.unitVersion, 0u);
}

TEST(UnitMemoryReply, TakesTheVersionWordWhateverTheStatus) {
  for (std::uint8_t status : {0x00, 0xFF}) {
    SCOPED_TRACE(status);
    const Bytes reply = ReplyOf({0x02, status, 0x0C, 0x00, 0x00, 0xFC, 0x01, 0x08, 0x04, 0x03, 0x02,
                                 0x01, 0x08, 0x07, 0x06, 0x05},
                                kReply);
    UnitMemoryReply out;
    ASSERT_EQ(ParseUnitMemoryReply(reply, out), RESULT_OK);
    EXPECT_EQ(out.unitVersion, 0x01020304u);
  }
}

// --- the two information blocks -------------------------------------------------------------

struct InfoCase {
  std::string name;
  Bytes replyStart;
  bool refused;
  std::uint16_t code;
};

class InformationReplies : public ::testing::TestWithParam<InfoCase> {};

TEST_P(InformationReplies, TakeTheBlockOrTheSixteenBitCode) {
  const InfoCase& c = GetParam();
  Bytes reply = ReplyOf(c.replyStart, kReply);
  if (!c.refused) {
    for (std::size_t i = 4; i < 44; ++i) {
      reply[i] = static_cast<std::uint8_t>(i);
    }
  }

  EscInfoReply info;
  ASSERT_EQ(ParseEscInfoReply(reply, info), RESULT_OK);
  EscBootInfoReply boot;
  ASSERT_EQ(ParseEscBootInfoReply(reply, boot), RESULT_OK);

  EXPECT_EQ(info.refused, c.refused);
  EXPECT_EQ(boot.refused, c.refused);
  EXPECT_EQ(info.refusalCode, c.code);
  EXPECT_EQ(boot.refusalCode, c.code);
  EXPECT_EQ(info.byte2, c.replyStart[2]);
  for (std::size_t i = 0; i < info.block.size(); ++i) {
    EXPECT_EQ(info.block[i], c.refused ? 0 : reply[4 + i]) << "info byte " << i;
  }
  for (std::size_t i = 0; i < boot.block.size(); ++i) {
    EXPECT_EQ(boot.block[i], c.refused ? 0 : reply[4 + i]) << "boot byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InformationReplies,
    ::testing::Values(InfoCase{"NormalReplyCarriesTheBlock", {0x02, 0x00, 0x20, 0x00}, false, 0},
                      InfoCase{"OtherStatusIsNormal", {0x02, 0x7F, 0x28, 0x00}, false, 0},
                      InfoCase{"RefusedWithCode", {0x02, 0xFF, 0x04, 0x00, 0x07, 0x00}, true, 7},
                      InfoCase{"RefusedWithZero", {0x02, 0xFF, 0x04, 0x00}, true, 0},
                      InfoCase{"RefusedHighHalfOnlyCountsAsZero",
                               {0x02, 0xFF, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00},
                               true,
                               0},
                      InfoCase{"RefusedCodeLosesItsHighHalf",
                               {0x02, 0xFF, 0x04, 0x00, 0x34, 0x12, 0xCD, 0xAB},
                               true,
                               0x1234}),
    [](const auto& info) { return info.param.name; });

// A reply one byte shorter than a rule reads is a read failure; at the exact length it parses.
TEST(ShortReplies, AreReadFailuresUpToTheLastByteARuleReads) {
  struct Case {
    std::string name;
    Bytes start;
    std::size_t needed;
    ResultCode (*parse)(std::span<const std::uint8_t>);
  };
  const Case cases[] = {
      {"Identify",
       {0x02, 0x00, 0x00, 0x00},
       16,
       [](std::span<const std::uint8_t> r) {
         IdentifyReply out;
         return ParseIdentifyReply(r, out);
       }},
      {"IdentifyOtherMode",
       {0x02, 0x00, 0x00, 0x05},
       16,
       [](std::span<const std::uint8_t> r) {
         IdentifyReply out;
         return ParseIdentifyReply(r, out);
       }},
      {"UnitMemory",
       {0x02, 0x00},
       16,
       [](std::span<const std::uint8_t> r) {
         UnitMemoryReply out;
         return ParseUnitMemoryReply(r, out);
       }},
      {"EscInfo",
       {0x02, 0x00},
       36,
       [](std::span<const std::uint8_t> r) {
         EscInfoReply out;
         return ParseEscInfoReply(r, out);
       }},
      {"EscInfoRefused",
       {0x02, 0xFF, 0x00, 0x00, 0x05},
       6,
       [](std::span<const std::uint8_t> r) {
         EscInfoReply out;
         return ParseEscInfoReply(r, out);
       }},
      {"EscBootInfo",
       {0x02, 0x00},
       44,
       [](std::span<const std::uint8_t> r) {
         EscBootInfoReply out;
         return ParseEscBootInfoReply(r, out);
       }},
      {"EscBootInfoRefused",
       {0x02, 0xFF, 0x00, 0x00, 0x05},
       6,
       [](std::span<const std::uint8_t> r) {
         EscBootInfoReply out;
         return ParseEscBootInfoReply(r, out);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Exact-size vectors, so that a read past the end shows under the address sanitizer.
    const Bytes exact = ReplyOf(c.start, c.needed);
    EXPECT_EQ(c.parse(exact), RESULT_OK);
    const Bytes oneShort = ReplyOf(c.start, c.needed - 1);
    EXPECT_EQ(c.parse(oneShort), RESULT_READ_FAILED);
    EXPECT_EQ(c.parse(std::span<const std::uint8_t>()), RESULT_READ_FAILED);
  }
}

TEST(ShortReplies, EmptyReplyFailsEveryOutcomeRule) {
  for (Rule rule : {ApplyStatusRule, ApplyLockRule, ApplyProtectionReleaseRule}) {
    EXPECT_EQ(rule(std::span<const std::uint8_t>()), RESULT_READ_FAILED);
  }
}

}  // namespace
