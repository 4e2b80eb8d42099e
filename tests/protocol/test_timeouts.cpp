// The guards of the requests whose answers can get lost: time-outs, re-sends
// and the end of the exchange after the last send, all on the virtual clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "ClientHarness.h"

namespace {

struct SGuardedCase {
    const char* name;
    SRequest request;
    unsigned timeoutMs;
};

std::vector<SGuardedCase> Cases() {
    SRequest hex = req::General(CMD_UPGRADE_HEX, 0, 1);
    hex.data = {0, 0, 8, 0, 0, 0, 0, 0x10, 0, 4, 1, 2, 3, 4};
    SRequest bin = req::General(CMD_UPGRADE_BIN, 0, 1 * 256 + 1);
    bin.data.assign(2052, 0x5C);
    return {
        {"GetLog", req::General(CMD_GET_LOG, 7), 80000},
        {"GetImage", req::General(CMD_GET_IMAGE, 0, 12), 4000},
        {"GetImage2", req::General(CMD_GET_IMAGE2, 0, 5), 3000},
        {"CheckVoltage", req::General(CMD_CHECK_VOLTAGE), 1000},
        {"UpgradeHex", hex, 5000},
        {"UpgradeBin", bin, 5000},
    };
}

TEST(GuardedRequests, EachIsSentTenTimesIdenticallyAndThenEndsOnceTimedOut) {
    for (const auto& c : Cases()) {
        SCOPED_TRACE(c.name);
        ClientHarness h;
        ASSERT_EQ(h.Send(c.request), ESendResult::Sent);
        const Bytes original = h.TakeWritten();
        ASSERT_FALSE(original.empty());
        for (int send = 2; send <= MAX_SENDS; ++send) {
            // Nothing happens a millisecond before the time-out.
            h.loop.Advance(c.timeoutMs - 1);
            EXPECT_TRUE(h.TakeWritten().empty()) << "send " << send;
            h.loop.Advance(1);
            EXPECT_EQ(h.TakeWritten(), original) << "send " << send;
            EXPECT_EQ(h.trace.frames.back().kind, ETraceKind::Resend);
            EXPECT_EQ(h.trace.frames.back().send, send);
        }
        EXPECT_TRUE(h.flow.replies.empty());
        h.loop.Advance(c.timeoutMs);
        EXPECT_TRUE(h.TakeWritten().empty()) << "no eleventh send";
        ASSERT_EQ(h.flow.replies.size(), 1u);
        EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::TimedOut);
        EXPECT_EQ(h.flow.replies[0].sends, MAX_SENDS);
        EXPECT_EQ(h.client.OpenExchanges(), 0u);

        // Long after, nothing more happens; a new request again gets ten sends.
        h.loop.Advance(10 * 80000);
        EXPECT_EQ(h.flow.replies.size(), 1u);
        h.Send(c.request);
        h.TakeWritten();
        for (int i = 0; i < MAX_SENDS - 1; ++i) {
            h.loop.Advance(c.timeoutMs);
            EXPECT_EQ(h.TakeWritten(), original);
        }
        h.loop.Advance(c.timeoutMs);
        EXPECT_EQ(h.flow.replies.size(), 2u);
    }
}

TEST(GuardedRequests, TenLogTimeOutsRunOnTheVirtualClock) {
    ClientHarness h;
    h.Send(req::General(CMD_GET_LOG, 0));
    for (int i = 0; i < 10; ++i) h.loop.Advance(80000);
    EXPECT_EQ(h.loop.Now(), 800000);
    EXPECT_EQ(h.TakeRequests().size(), 10u);
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::TimedOut);
}

TEST(GuardedRequests, AnAnswerEndsTheGuard) {
    ClientHarness h;
    h.Send(req::General(CMD_GET_IMAGE2, 0, 0));
    h.loop.Advance(3 * 3000);
    h.Arrive(GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 0x0001, Bytes(512, 1)));
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Answered);
    EXPECT_EQ(h.flow.replies[0].sends, 4);
    h.TakeWritten();
    h.loop.Advance(60000);
    EXPECT_TRUE(h.TakeWritten().empty());
    EXPECT_EQ(h.flow.replies.size(), 1u);
}

TEST(GuardedRequests, AMinimizedAnswerOrAnotherCommandsAnswerLeavesTheGuardAlone) {
    ClientHarness h;
    h.Send(req::General(CMD_GET_IMAGE, 0, 0));
    h.Send(req::Mini(MINI_STATUS), &h.other);
    h.Send(req::General(CMD_STATUS), &h.other);
    h.loop.Advance(4000);
    h.Arrive(MiniFrame(MINI_STATUS, RES_SUCCESS));
    h.Arrive(GeneralFrame(CMD_STATUS, RES_SUCCESS));
    EXPECT_EQ(h.other.replies.size(), 2u);
    h.TakeWritten();
    h.loop.Advance(4000);
    auto resent = h.TakeRequests();
    ASSERT_EQ(resent.size(), 1u);
    EXPECT_EQ(resent[0].m_Command, static_cast<std::uint32_t>(CMD_GET_IMAGE));
}

TEST(GuardedRequests, LogExIsNotGuardedAndWaitsUntilAnsweredOrTheLinkCloses) {
    ClientHarness h;
    h.Send(req::General(CMD_GET_LOG_EX, 3, 0));
    h.TakeWritten();
    h.loop.Advance(20 * 80000);
    EXPECT_TRUE(h.TakeWritten().empty());
    EXPECT_TRUE(h.flow.replies.empty());
    EXPECT_EQ(h.client.OpenExchanges(), 1u);
}

// A firmware piece the module refuses for its checksum goes out again at
// once, counted with its other sends: never more than ten sends in all.
TEST(GuardedRequests, ChecksumRefusalsOfAFirmwarePieceCountWithItsTimeOuts) {
    for (const auto& c : Cases()) {
        const std::uint32_t command = c.request.command;
        if (command != CMD_UPGRADE_HEX && command != CMD_UPGRADE_BIN) continue;
        SCOPED_TRACE(c.name);
        ClientHarness h;
        h.Send(c.request);
        const Bytes original = h.TakeWritten();
        h.loop.Advance(c.timeoutMs);  // send 2: a time-out
        EXPECT_EQ(h.TakeWritten(), original);
        for (int send = 3; send <= MAX_SENDS; ++send) {
            h.Arrive(GeneralFrame(command, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
            EXPECT_EQ(h.TakeWritten(), original) << "send " << send;
            EXPECT_TRUE(h.flow.replies.empty());
        }
        h.Arrive(GeneralFrame(command, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
        EXPECT_TRUE(h.TakeWritten().empty()) << "no eleventh send";
        ASSERT_EQ(h.flow.replies.size(), 1u);
        EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::ChecksumRefused);
        EXPECT_EQ(h.flow.replies[0].sends, MAX_SENDS);
        // The guard went with the exchange.
        h.loop.Advance(60000);
        EXPECT_TRUE(h.TakeWritten().empty());
        EXPECT_EQ(h.flow.replies.size(), 1u);
    }
}

TEST(GuardedRequests, AChecksumRefusalResendRearmsTheGuard) {
    ClientHarness h;
    SRequest hex = Cases()[4].request;
    h.Send(hex);
    h.loop.Advance(4000);
    h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, RES_SUCCESS, 1, {}, ERR_CHECKSUM));
    h.TakeWritten();
    // A full time-out from the re-send, not from the first send.
    h.loop.Advance(4999);
    EXPECT_TRUE(h.TakeWritten().empty());
    h.loop.Advance(1);
    EXPECT_EQ(h.TakeRequests().size(), 1u);
}

// An answer that is arriving when the guard fires is not cut in half by the
// re-send: what has come of it stays in the receive queue, the rest
// completes it, and the re-send's own answer is then stale.
TEST(GuardedRequests, AResendKeepsTheAnswerThatIsArrivingWhole) {
    ClientHarness h;
    h.Send(req::General(CMD_GET_IMAGE2, 0, 3));
    ASSERT_EQ(h.TakeRequests().size(), 1u);
    const Bytes answer = GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 3u << 8 | 141, Bytes(512, 0x3C));
    CQueue& queue = h.client.Channel().m_QueueRead;
    queue.PutChunk(answer.data(), 300);  // not yet parsed
    h.loop.Advance(TIMEOUT_GET_IMAGE2);  // the guard fires first
    EXPECT_EQ(h.TakeRequests().size(), 1u) << "re-sent";
    EXPECT_EQ(queue.GetCount(), 300);
    h.Arrive(Bytes(answer.begin() + 300, answer.end()));
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Answered);
    EXPECT_EQ(h.flow.replies[0].packet.m_Data[511], 0x3C);
    EXPECT_TRUE(h.link.Only(WM_CHECKSUM_ERROR).empty());
    h.Arrive(answer);
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
}

}  // namespace
