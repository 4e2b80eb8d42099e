// The module client over a real pseudo-terminal: requests reach the other
// end byte for byte, answers written there come back to the requester.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include "ClientHarness.h"

namespace {

class PtyClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(m_Master, 0);
        ASSERT_EQ(grantpt(m_Master), 0);
        ASSERT_EQ(unlockpt(m_Master), 0);
        m_SlavePath = ptsname(m_Master);
        // Keep a slave descriptor so the pair survives the channel's close.
        m_KeepSlave = open(m_SlavePath.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(m_KeepSlave, 0);
        client.SetLinkListener(&link);
        ASSERT_TRUE(client.Open(m_SlavePath, 115200)) << client.Channel().LastError();
    }
    void TearDown() override {
        client.Close();
        if (m_KeepSlave >= 0) close(m_KeepSlave);
        if (m_Master >= 0) close(m_Master);
    }

    Bytes ReadMaster(std::size_t want, int timeoutMs = 2000) {
        Bytes out;
        while (out.size() < want) {
            pollfd p{m_Master, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) break;
            std::uint8_t buf[4096];
            ssize_t n = read(m_Master, buf, sizeof buf);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    void WriteMaster(const Bytes& bytes) { ASSERT_EQ(write(m_Master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }

    CManualMessageLoop loop;
    CRecordingRequester flow{loop};
    CRecordingListener link{loop};
    CModuleClient client{loop};
    int m_Master = -1;
    int m_KeepSlave = -1;
    std::string m_SlavePath;
};

TEST_F(PtyClientTest, RequestAndAnswerRoundTrip) {
    ASSERT_EQ(client.Send(flow, req::Verify(1, "12", "abc")), ESendResult::Sent);
    ASSERT_EQ(client.Send(flow, req::General(CMD_IDENTIFY)), ESendResult::Sent);
    const Bytes request = ReadMaster(55 + 25);
    ASSERT_EQ(request.size(), 80u);
    EXPECT_EQ(ParseFrames(request).at(0).m_DataSize, 26u);
    // An answer with data does not end the handler; a data-less one does.
    WriteMaster(Concat({GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {'1', '2', 0}), GeneralFrame(CMD_VERIFY, RES_SUCCESS, 0)}));
    ASSERT_TRUE(loop.RunUntil([&] { return flow.replies.size() == 2; }, 3000));
    EXPECT_EQ(flow.replies[0].request.command, static_cast<std::uint32_t>(CMD_IDENTIFY));
    EXPECT_STREQ(reinterpret_cast<const char*>(flow.replies[0].packet.m_Data), "12");
    EXPECT_EQ(flow.replies[1].request.command, static_cast<std::uint32_t>(CMD_VERIFY));
}

TEST_F(PtyClientTest, ImageSizedAnswersArrivingInPiecesAreReassembled) {
    Bytes piece(2048);
    for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
    flow.react = [&](const SRecordedReply& r) {
        if (r.request.param2 < 2) client.Send(flow, req::General(CMD_GET_IMAGE, 0, r.request.param2 + 1));
    };
    client.Send(flow, req::General(CMD_GET_IMAGE, 0, 0));
    for (std::uint32_t p = 0; p < 3; ++p) {
        ASSERT_EQ(ParseFrames(ReadMaster(25)).at(0).m_Param2, p);
        WriteMaster(GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, p, piece));
        ASSERT_TRUE(loop.RunUntil([&] { return flow.replies.size() == p + 1; }, 3000));
        EXPECT_EQ(Bytes(flow.replies[p].packet.m_Data, flow.replies[p].packet.m_Data + 2048), piece);
    }
}

TEST_F(PtyClientTest, LosingThePortEndsTheExchangesAndIsPassedOnToTheListener) {
    client.Send(flow, req::General(CMD_GET_IMAGE, 0, 0));
    close(m_KeepSlave);
    m_KeepSlave = -1;
    close(m_Master);
    m_Master = -1;
    ASSERT_TRUE(loop.RunUntil([&] { return !link.Only(WM_COMM_PORT_LOST).empty(); }, 3000));
    ASSERT_EQ(flow.replies.size(), 1u);
    EXPECT_EQ(flow.replies[0].end, EExchangeEnd::LinkClosed);
}

TEST_F(PtyClientTest, AStalledWriteIsReportedOnlyWhileThePortIsOpen) {
    client.Channel().SetWriteStallLimit(20);
    // Nobody reads the other end, so the terminal's buffer fills up.
    const std::string text(4096, 'x');
    for (int i = 0; i < 400 && link.Only(WM_WRITE_STALLED).empty(); ++i) {
        client.Send(flow, req::WriteUserData(0, 4096, text));
        loop.RunPending();
    }
    const auto stalled = link.Only(WM_WRITE_STALLED);
    ASSERT_EQ(stalled.size(), 1u);
    EXPECT_LT(stalled[0].wParam, 4125u);
    EXPECT_EQ(stalled[0].lParam, 4125);
    // Without a link nothing is sent at all: nothing to report.
    client.Close();
    EXPECT_EQ(client.Send(flow, req::General(CMD_CONNECT)), ESendResult::NotOpen);
    loop.RunPending();
    EXPECT_EQ(link.Only(WM_WRITE_STALLED).size(), 1u);
}

// A consumer that falls behind: the channel raises one queue-full alert until
// the console says its box is gone; every dropped byte is counted for the
// status line, and the count starts again with the next connection.
TEST_F(PtyClientTest, AFullReceiveQueueRaisesOneAlertAtATimeAndCountsWhatWasDropped) {
    CSerialChannel& channel = client.Channel();
    CQueue& queue = channel.m_QueueRead;
    const Bytes fill(CQueue::QUEUE_SIZE - 1, 0xAB);  // no chunk fits any more
    ASSERT_TRUE(queue.PutChunk(fill.data(), static_cast<int>(fill.size())));
    auto waitDropped = [&](std::uint64_t bytes) {
        for (int i = 0; i < 2000 && channel.DroppedBytes() < bytes; ++i) usleep(1000);
        return channel.DroppedBytes();
    };
    for (int i = 1; i <= 5; ++i) {
        WriteMaster(Bytes(100, 0x11));
        ASSERT_EQ(waitDropped(100u * i), 100u * i);
    }
    loop.RunPending();
    EXPECT_EQ(link.Only(WM_COMM_ALERT).size(), 1u);
    EXPECT_EQ(link.Only(WM_COMM_ALERT)[0].wParam, COMM_ALERT_QUEUE_FULL);
    ASSERT_FALSE(link.Only(WM_RECEIVE_DROPPED).empty());
    EXPECT_EQ(link.Only(WM_RECEIVE_DROPPED).back().wParam, 500u);
    // The box was closed: the next drop may raise the alert again.
    channel.QueueFullAlertClosed();
    ASSERT_TRUE(queue.PutChunk(fill.data(), static_cast<int>(fill.size())));
    WriteMaster(Bytes(60, 0x22));
    ASSERT_EQ(waitDropped(560), 560u);
    ASSERT_TRUE(loop.RunUntil([&] { return link.Only(WM_COMM_ALERT).size() == 2; }));
    ASSERT_TRUE(loop.RunUntil([&] { return link.Only(WM_RECEIVE_DROPPED).back().wParam == 560u; }));
    client.Close();
    ASSERT_TRUE(client.Open(m_SlavePath, 115200));
    EXPECT_EQ(channel.DroppedBytes(), 0u);
}

}  // namespace
