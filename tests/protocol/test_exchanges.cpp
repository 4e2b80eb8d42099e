// The life of an exchange at the module client: each ends exactly once and
// tells its requester how; an answer is taken only for the request it
// answers; closing the link ends everything at once; a long job can own the
// link.
#include <gtest/gtest.h>

#include "ClientHarness.h"

namespace {

class ExchangeTest : public ::testing::Test {
protected:
    ClientHarness h;

    // One of each kind of exchange open: guarded and unguarded, General and
    // Minimized, two requesters.
    void OpenSeveral() {
        SRequest hex = req::General(CMD_UPGRADE_HEX, 0, 4);
        hex.data.assign(10, 0);
        ASSERT_EQ(h.Send(req::General(CMD_GET_IMAGE, 0, 7)), ESendResult::Sent);
        ASSERT_EQ(h.Send(hex), ESendResult::Sent);
        ASSERT_EQ(h.Send(req::General(CMD_GET_LOG, 2), &h.other), ESendResult::Sent);
        ASSERT_EQ(h.Send(req::General(CMD_CHECK_VOLTAGE), &h.other), ESendResult::Sent);
        ASSERT_EQ(h.Send(req::General(CMD_IDENTIFY)), ESendResult::Sent);
        ASSERT_EQ(h.Send(req::Mini(MINI_STATUS), &h.other), ESendResult::Sent);
        ASSERT_EQ(h.client.OpenExchanges(), 6u);
    }
};

// Closing the link (DISCONNECT, a port or rate change) ends every exchange at
// once: no guard goes on, nothing is re-sent to the closed port or to a port
// opened again, and each requester hears of each of its exchanges once.
TEST_F(ExchangeTest, ClosingTheLinkEndsEveryExchangeAtOnceAndForGood) {
    OpenSeveral();
    h.writes.clear();
    h.client.Close();
    h.loop.RunPending();
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
    EXPECT_EQ(h.flow.Ended(EExchangeEnd::LinkClosed).size(), 3u);
    EXPECT_EQ(h.other.Ended(EExchangeEnd::LinkClosed).size(), 3u);
    // Reopened, a CONNECT goes out; twenty minutes of guards that would
    // have run send nothing and do not empty the receive queue.
    ASSERT_TRUE(h.Open());
    h.Send(req::General(CMD_CONNECT));
    h.writes.clear();
    const Bytes connectAnswer = GeneralFrame(CMD_CONNECT, RES_SUCCESS, 5);
    h.client.Channel().m_QueueRead.PutChunk(connectAnswer.data(), static_cast<int>(connectAnswer.size()));
    h.loop.Advance(20 * 60 * 1000);
    EXPECT_TRUE(h.writes.empty());
    EXPECT_EQ(h.client.Channel().m_QueueRead.GetCount(), static_cast<int>(connectAnswer.size()));
    h.loop.Post(&h.client, WM_COMM_READ);
    h.loop.RunPending();
    EXPECT_EQ(h.flow.Ended(EExchangeEnd::Answered).size(), 1u);
    EXPECT_EQ(h.flow.replies.size(), 4u);
    EXPECT_EQ(h.other.replies.size(), 3u);
}

TEST_F(ExchangeTest, ALostPortEndsEveryExchangeBeforeTheListenerHearsOfIt) {
    OpenSeveral();
    h.loop.Post(&h.client, WM_COMM_PORT_LOST);
    h.loop.RunPending();
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
    EXPECT_EQ(h.flow.Ended(EExchangeEnd::LinkClosed).size() + h.other.Ended(EExchangeEnd::LinkClosed).size(), 6u);
    EXPECT_EQ(h.link.Only(WM_COMM_PORT_LOST).size(), 1u);
    h.writes.clear();
    h.loop.Advance(20 * 60 * 1000);
    EXPECT_TRUE(h.writes.empty());
}

// A piece answered slowly is re-sent; the duplicate answer that follows the
// first is stale: it does not end the next piece's exchange, whose guard
// goes on.
TEST_F(ExchangeTest, ALateDuplicatePieceAnswerIsStaleAndTheNextPieceKeepsItsGuard) {
    for (std::uint32_t command : {std::uint32_t(CMD_GET_IMAGE), std::uint32_t(CMD_GET_IMAGE2)}) {
        SCOPED_TRACE(command);
        ClientHarness c;
        const unsigned timeout = command == CMD_GET_IMAGE ? TIMEOUT_GET_IMAGE : TIMEOUT_GET_IMAGE2;
        const std::uint32_t answerParam2 = command == CMD_GET_IMAGE ? 4 : (4u << 8 | 141);
        c.flow.react = [&](const SRecordedReply& r) {
            if (r.end == EExchangeEnd::Answered && r.request.param2 == 4) c.Send(req::General(command, 0, 5));
        };
        c.Send(req::General(command, 0, 4));
        c.loop.Advance(timeout);  // re-sent
        const Bytes answer = GeneralFrame(command, RES_SUCCESS, answerParam2, Bytes(64, 1));
        c.Arrive(answer);
        c.Arrive(answer);  // the re-send's answer
        ASSERT_EQ(c.flow.replies.size(), 1u);
        EXPECT_EQ(c.client.StaleAnswers(), 1u);
        ASSERT_EQ(c.trace.Only(ETraceKind::Stale).size(), 1u);
        EXPECT_EQ(c.trace.Only(ETraceKind::Stale)[0]->param2, answerParam2);
        // Piece 5's answer is lost: its guard still runs and re-sends it.
        c.writes.clear();
        c.loop.Advance(timeout);
        auto resent = c.TakeRequests();
        ASSERT_EQ(resent.size(), 1u);
        EXPECT_EQ(resent[0].m_Param2, 5u);
    }
}

// In a HEX upgrade both acknowledgements of a re-sent record used to send a
// further record. The second names the record just answered: it is stale.
TEST_F(ExchangeTest, ASecondAcknowledgementOfAHexRecordIsStale) {
    SRequest record = req::General(CMD_UPGRADE_HEX, 0, 6);
    record.data.assign(10, 0);
    h.flow.react = [&](const SRecordedReply& r) {
        if (r.end != EExchangeEnd::Answered) return;
        SRequest next = req::General(CMD_UPGRADE_HEX, 0, r.packet.m_Param2);
        next.data.assign(10, 0);
        h.Send(next);
    };
    h.Send(record);
    h.loop.Advance(TIMEOUT_UPGRADE);
    const Bytes ack = GeneralFrame(CMD_UPGRADE_HEX, 0, 7);  // record 6 taken: send 7
    h.Arrive(ack);
    h.Arrive(ack);
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
    // Record 7 is acknowledged in its turn (next: 8).
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, 0, 8));
    EXPECT_EQ(h.flow.replies.size(), 2u);
    EXPECT_EQ(h.flow.replies[1].request.param2, 7u);
}

TEST_F(ExchangeTest, ABinChunkAnswerMustNameTheChunkAskedFor) {
    SRequest chunk = req::General(CMD_UPGRADE_BIN, 0, 3 * 256 + 9);
    chunk.data.assign(2052, 0);
    h.Send(chunk);
    h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_SUCCESS, 2 * 256 + 9));  // chunk 2's, late
    EXPECT_TRUE(h.flow.replies.empty());
    h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_FAIL, 0));  // a refusal names no chunk
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].packet.m_Param1, static_cast<std::uint32_t>(RES_FAIL));
}

TEST_F(ExchangeTest, AnImageTimeOutAnswerNamesNoPieceAndIsTakenForTheOpenOne) {
    h.Send(req::General(CMD_GET_IMAGE, 0, 0));
    h.Arrive(GeneralFrame(CMD_GET_IMAGE, RES_TIMEOUT, 0x1234));
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].packet.m_Param1, static_cast<std::uint32_t>(RES_TIMEOUT));
}

// The module answers a command once: a newer request takes the place of the
// one still open, which ends superseded (once) and whose answer, should it
// come, is taken by the newer one.
TEST_F(ExchangeTest, ANewerRequestOfTheSameCommandSupersedesTheOpenOne) {
    h.Send(req::General(CMD_IDENTIFY));
    h.Send(req::General(CMD_IDENTIFY), &h.other);
    ASSERT_EQ(h.flow.replies.size(), 0u);
    h.loop.RunPending();
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Superseded);
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS));
    EXPECT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.other.Ended(EExchangeEnd::Answered).size(), 1u);
}

TEST_F(ExchangeTest, AnAbandonedExchangeEndsAndItsLateAnswerIsStale) {
    h.Send(req::General(CMD_GET_IMAGE, 0, 0));
    h.Send(req::General(CMD_STATUS));
    h.Send(req::General(CMD_IDENTIFY), &h.other);
    h.client.Abandon(h.flow, CMD_GET_IMAGE);
    h.loop.RunPending();
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Superseded);
    EXPECT_EQ(h.client.OpenExchanges(), 2u);
    h.Arrive(GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 0, Bytes(2048, 1)));
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
    h.writes.clear();
    h.loop.Advance(60000);
    EXPECT_TRUE(h.writes.empty()) << "its guard went with it";
    h.client.Abandon(h.flow);
    h.loop.RunPending();
    EXPECT_EQ(h.client.OpenExchanges(), 1u) << "only the other requester's is left";
}

TEST_F(ExchangeTest, AJobThatOwnsTheLinkRefusesOthersButNotCancelOrStatus) {
    ASSERT_TRUE(h.client.Claim(h.flow, "the firmware upgrade"));
    EXPECT_FALSE(h.client.Claim(h.other, "the battery life test"));
    EXPECT_EQ(h.client.ClaimJob(), "the firmware upgrade");
    EXPECT_EQ(h.Send(req::General(CMD_CHECK_VOLTAGE), &h.other), ESendResult::Busy);
    EXPECT_EQ(h.Send(req::General(CMD_IDENTIFY), &h.other), ESendResult::Busy);
    EXPECT_EQ(h.Send(req::General(CMD_CANCEL), &h.other), ESendResult::Sent);
    EXPECT_EQ(h.Send(req::Mini(MINI_STATUS), &h.other), ESendResult::Sent);
    EXPECT_EQ(h.Send(req::General(CMD_IDENTIFY)), ESendResult::Sent) << "the owner's own";
    EXPECT_EQ(h.TakeRequests().size(), 2u);
    h.client.Release(h.other);  // not the owner's: nothing
    EXPECT_TRUE(h.client.IsClaimed());
    h.client.Release(h.flow);
    EXPECT_EQ(h.Send(req::General(CMD_CHECK_VOLTAGE), &h.other), ESendResult::Sent);
    // Closing the link lets go of a claim.
    ASSERT_TRUE(h.client.Claim(h.other, "the battery life test"));
    h.client.Close();
    EXPECT_FALSE(h.client.IsClaimed());
}

TEST_F(ExchangeTest, ARequesterGoneBeforeItsReplyIsNoDanger) {
    auto gone = std::make_unique<CRecordingRequester>(h.loop);
    h.Send(req::General(CMD_IDENTIFY), gone.get());
    gone.reset();
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS));
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
}

TEST_F(ExchangeTest, EveryExchangeEndsExactlyOnceWhateverHappens) {
    // Answered, then a duplicate; timed out, then an answer; closed, then an
    // answer: one reply each.
    h.Send(req::General(CMD_STATUS));
    h.Arrive(GeneralFrame(CMD_STATUS, RES_SUCCESS));
    h.Arrive(GeneralFrame(CMD_STATUS, RES_SUCCESS));
    h.Send(req::General(CMD_CHECK_VOLTAGE));
    h.loop.Advance(MAX_SENDS * TIMEOUT_CHECK_VOLTAGE);
    h.Arrive(GeneralFrame(CMD_CHECK_VOLTAGE, RES_SUCCESS));
    h.Send(req::General(CMD_IDENTIFY));
    h.client.Close();
    h.loop.RunPending();
    h.Open();
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS));
    ASSERT_EQ(h.flow.replies.size(), 3u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Answered);
    EXPECT_EQ(h.flow.replies[1].end, EExchangeEnd::TimedOut);
    EXPECT_EQ(h.flow.replies[2].end, EExchangeEnd::LinkClosed);
    EXPECT_EQ(h.client.StaleAnswers(), 3u);
}

}  // namespace
