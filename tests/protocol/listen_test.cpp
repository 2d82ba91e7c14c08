// Listening before talking: a unit another program talks to (without a claim this program could
// see) is left alone, and a conversation that another program joins is stopped before our next
// request. Every holder of a HID device receives every reply, whoever asked.
#include <gtest/gtest.h>

#include <cstddef>

#include "protocol/result_code.h"
#include "protocol/unit_link.h"
#include "sim/simulated_unit.h"
#include "tests/protocol/link_fixture.h"

namespace {

TEST_F(LinkTest, AUnitAnotherProgramTalksToIsBusyAndGetsNothing) {
  sim::SimulatedUnit& unit = Plug();
  unit.StartOtherTalker(0);
  EXPECT_EQ(link.Open(), RequestResult{RESULT_BUSY});
  EXPECT_TRUE(unit.requests().empty());
  ExpectReset(link);
  EXPECT_EQ(transport.openHandles(), 0);
}

TEST_F(LinkTest, AnUpdateListensAgainBeforeItsFirstRequest) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  const std::size_t identification = unit.requests().size();
  unit.StartOtherTalker(0);  // started while the unit sat open and idle
  EXPECT_EQ(link.SetSystemLock(true), RequestResult{RESULT_BUSY});
  // The closing pair, too, stays out of the other program's conversation.
  link.SetEscWriteProtection(true);
  link.SetSystemLock(false);
  EXPECT_EQ(unit.requests().size(), identification);
}

// A reply that no request of ours explains stops the link after the request it came with; no
// later request, the closing pair included, is sent.
TEST_F(LinkTest, AReplyNoRequestExplainsStopsTheNextRequest) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(link.SetSystemLock(true).code, RESULT_OK);
  unit.StartOtherTalker(unit.requests().size() + 2);
  ASSERT_EQ(link.SetEscWriteProtection(false).code, RESULT_OK);
  EXPECT_EQ(link.Erase(), RequestResult{RESULT_OTHER_WRITER});
  const std::size_t sent = unit.requests().size();
  EXPECT_EQ(link.SetAddress(), RequestResult{RESULT_OTHER_WRITER});
  link.SetEscWriteProtection(true);
  link.SetSystemLock(false);
  EXPECT_EQ(unit.requests().size(), sent);
  EXPECT_TRUE(link.IsOpen());
}

// A foreign reply that came between two of our requests, after the look that followed the first
// reply: on a real stack the next read could take it for ours, so the next request is not sent.
TEST_F(LinkTest, AReplyThatCameBetweenTwoRequestsStopsTheSecondBeforeItIsSent) {
  sim::SimulatedUnit& unit = Plug();
  ASSERT_EQ(link.Open().code, RESULT_OK);
  ASSERT_EQ(link.SetSystemLock(true).code, RESULT_OK);
  ASSERT_EQ(link.SetEscWriteProtection(false).code, RESULT_OK);
  const std::size_t sent = unit.requests().size();
  unit.StartOtherTalker(0);
  EXPECT_EQ(link.Erase(), RequestResult{RESULT_OTHER_WRITER});
  EXPECT_EQ(unit.requests().size(), sent);
}

// Another program that was quiet while we listened, heard during identification: the unit is
// busy and closed after that one request.
TEST_F(LinkTest, AnotherProgramHeardDuringIdentificationMakesTheUnitBusy) {
  sim::SimulatedUnit& unit = Plug();
  unit.StartOtherTalker(1);
  EXPECT_EQ(link.Open(), RequestResult{RESULT_BUSY});
  EXPECT_EQ(unit.requests().size(), 1u);
  ExpectReset(link);
  EXPECT_EQ(transport.openHandles(), 0);
}

}  // namespace
