// The receive state machine: framing, checksums, dispatch and its order.
#include <gtest/gtest.h>

#include "PmHarness.h"

namespace {

class ReceiveTest : public ::testing::Test {
protected:
    PmHarness h;
};

TEST_F(ReceiveTest, GarbageBeforeAFrameIsDiscarded) {
    h.Arrive(Concat({Bytes{0x00, 0x13, 0xFF, 0x5A}, GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {'4', '2', 0})}));
    auto n = h.view.Only(WM_RX_IDENTIFY);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->packet.m_Param1, static_cast<std::uint32_t>(RES_SUCCESS));
    EXPECT_STREQ(reinterpret_cast<const char*>(n[0]->packet.m_Data), "42");
    EXPECT_TRUE(h.view.Only(WM_CHECKSUM_ERROR).empty());
}

TEST_F(ReceiveTest, FrameSplitAcrossManyWakeUps) {
    Bytes data(2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    Bytes frame = GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 3, data);
    for (std::size_t i = 0; i < frame.size(); i += 13) {
        Bytes part(frame.begin() + i, frame.begin() + std::min(frame.size(), i + 13));
        EXPECT_TRUE(h.view.Only(WM_RX_GET_IMAGE).empty());
        h.Arrive(part);
    }
    auto n = h.view.Only(WM_RX_GET_IMAGE);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->packet.m_Param2, 3u);
    EXPECT_EQ(Bytes(n[0]->packet.m_Data, n[0]->packet.m_Data + 2048), data);
}

TEST_F(ReceiveTest, StartByteInsideDataIsData) {
    Bytes data = {0x7E, 0x5A, 0x7E, 0x00, 0x7E};
    h.Arrive(GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 5, data));
    auto n = h.view.Only(WM_RX_READ_USER_DATA);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(Bytes(n[0]->packet.m_Data, n[0]->packet.m_Data + 5), data);
    EXPECT_TRUE(h.view.Only(WM_RX_MINI_CONNECT).empty());
}

TEST_F(ReceiveTest, StartThenMarkerIsAlwaysMinimized) {
    h.Arrive(MiniFrame(MINI_IDENTIFY, RES_SUCCESS, 0));
    auto n = h.view.Only(WM_RX_MINI_IDENTIFY);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->mini, (std::array<std::uint8_t, 6>{0x7E, 0x5A, 0x12, 0x01, 0x00, 0xEB}));
    EXPECT_TRUE(h.view.Only(WM_PACKET_TRACE).empty()) << "Minimized answers are not traced";
}

TEST_F(ReceiveTest, BadMinimizedChecksumIsReportedAsHeaderError) {
    Bytes f = MiniFrame(MINI_CONNECT, 1);
    f[5] ^= 0xFF;
    h.Arrive(f);
    auto e = h.view.Only(WM_CHECKSUM_ERROR);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0]->wParam, 0u);
    EXPECT_TRUE(h.view.Only(WM_RX_MINI_CONNECT).empty());
}

TEST_F(ReceiveTest, WrongHeaderWithRightDataChecksumIsAHeaderError) {
    Bytes f = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 2, {1, 2});
    f[24] ^= 0x01;  // header checksum
    h.Arrive(f);
    auto e = h.view.Only(WM_CHECKSUM_ERROR);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0]->wParam, 0u);
    EXPECT_TRUE(h.view.Only(WM_PACKET_TRACE).empty()) << "rejected frames are not traced";
}

TEST_F(ReceiveTest, WrongDataChecksumIsADataError) {
    Bytes f = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 2, {1, 2});
    f[25] ^= 0x40;
    h.Arrive(f);
    auto e = h.view.Only(WM_CHECKSUM_ERROR);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0]->wParam, 1u);
    // The machine is back in its start state: the next frame gets through.
    h.Arrive(GeneralFrame(CMD_STATUS, RES_SUCCESS, 0));
    EXPECT_EQ(h.view.Only(WM_RX_STATUS).size(), 1u);
}

// A data-less answer ends the parse; what came with it in the same read is
// parsed on a wake-up of its own posted at once, not left for a later send to
// clear (a verification's RES_CANCELED and the answer to CMD_CANCEL often
// arrive in one read).
TEST_F(ReceiveTest, TwoDatalessAnswersInOneReadAreBothDelivered) {
    h.Arrive(Concat({GeneralFrame(CMD_STATUS, RES_SUCCESS, 1), GeneralFrame(CMD_CANCEL, RES_IDLE, 0),
                     MiniFrame(MINI_CANCEL, RES_SUCCESS)}));
    auto n = h.view.Notifications();
    ASSERT_EQ(n.size(), 3u);
    EXPECT_EQ(n[0]->msg, WM_RX_STATUS);
    EXPECT_EQ(n[1]->msg, WM_RX_CANCEL);
    EXPECT_EQ(n[2]->msg, WM_RX_MINI_CANCEL);
    EXPECT_EQ(h.pm.m_Comm.m_QueueRead.GetCount(), 0);
    EXPECT_EQ(h.loop.PendingCount(), 0u);  // no wake-up left circling
}

// A data-less answer followed by the start of another frame: the rest of it
// arrives later and completes it; nothing is parsed twice.
TEST_F(ReceiveTest, ADatalessAnswerFollowedByHalfAFrame) {
    Bytes second = GeneralFrame(CMD_GET_LOG, RES_SUCCESS, 1, Bytes(40, 0x5A));
    Bytes head(second.begin(), second.begin() + 30), tail(second.begin() + 30, second.end());
    h.Arrive(Concat({GeneralFrame(CMD_CANCEL, RES_SUCCESS, 0), head}));
    EXPECT_EQ(h.view.Notifications().size(), 1u);
    EXPECT_EQ(h.pm.m_Comm.m_QueueRead.GetCount(), 0);
    h.Arrive(tail);
    ASSERT_EQ(h.view.Only(WM_RX_GET_LOG).size(), 1u);
    EXPECT_EQ(h.view.Only(WM_RX_GET_LOG)[0]->packet.m_DataSize, 40u);
    EXPECT_EQ(h.view.Notifications().size(), 2u);
}

// A request sent by the handler of the first answer empties the queue: the
// bytes behind it belonged to the exchange that request replaced.
TEST_F(ReceiveTest, ARequestSentByTheFirstAnswersHandlerDiscardsTheWaitingBytes) {
    h.view.react = [&](const RecordedMessage& m) {
        if (m.msg == WM_RX_STATUS) h.pm.SendIdentify();
    };
    h.Arrive(Concat({GeneralFrame(CMD_STATUS, RES_SUCCESS, 1), GeneralFrame(CMD_CANCEL, RES_IDLE, 0)}));
    EXPECT_EQ(h.view.Only(WM_RX_STATUS).size(), 1u);
    EXPECT_TRUE(h.view.Only(WM_RX_CANCEL).empty());
}

TEST_F(ReceiveTest, AnswersWithDataInOneReadEachKeepTheirOwnCopy) {
    h.Arrive(Concat({GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 0x0001, Bytes(512, 0x11)),
                     GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 0x0101, Bytes(512, 0x22))}));
    auto n = h.view.Only(WM_RX_GET_IMAGE2);
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0]->packet.m_Param2, 0x0001u);
    EXPECT_EQ(n[0]->packet.m_Data[511], 0x11);
    EXPECT_EQ(n[1]->packet.m_Param2, 0x0101u);
    EXPECT_EQ(n[1]->packet.m_Data[0], 0x22);
}

TEST_F(ReceiveTest, TraceIsSentBeforeTheNotificationIsPosted) {
    h.Arrive(GeneralFrame(CMD_CONNECT, RES_SUCCESS, 3));
    ASSERT_EQ(h.view.messages.size(), 2u);
    EXPECT_EQ(h.view.messages[0].msg, WM_PACKET_TRACE);
    EXPECT_EQ(h.view.messages[0].lParam, 1);
    EXPECT_EQ(h.view.messages[0].packet.m_Param2, 3u);
    EXPECT_EQ(h.view.messages[1].msg, WM_RX_CONNECT);
}

TEST_F(ReceiveTest, EveryGeneralCommandRoutesToItsNotification) {
    const std::pair<std::uint32_t, UINT> routes[] = {
        {1, 1034},  {2, 1035},  {3, 1036},  {4, 1037},  {5, 1038},  {17, 1044}, {18, 1045}, {21, 1046},
        {22, 1047}, {23, 1048}, {32, 1054}, {33, 1055}, {34, 1057}, {35, 1058}, {36, 1059}, {37, 1060},
        {38, 1061}, {39, 1062}, {40, 1066}, {41, 1067}, {42, 1068}, {43, 1069}, {44, 1070}, {45, 1071},
        {46, 1072}, {47, 1073}, {48, 1074}, {49, 1075}, {50, 1076}, {51, 1077}, {64, 1084}, {65, 1085},
        {66, 1086}, {67, 1087}, {68, 1088}, {69, 1089}, {70, 1090}, {71, 1091}, {72, 1092}, {73, 1093},
        {74, 1094}, {75, 1095}, {96, 1104}, {97, 1105}, {98, 1106}, {99, 1107}, {100, 1105}, {112, 1115},
    };
    for (const auto& r : routes) {
        h.view.messages.clear();
        h.Arrive(GeneralFrame(r.first, RES_SUCCESS, 0, {1}));
        auto n = h.view.Notifications();
        ASSERT_EQ(n.size(), 1u) << "command " << r.first;
        EXPECT_EQ(n[0]->msg, r.second) << "command " << r.first;
    }
}

TEST_F(ReceiveTest, MinimizedFramesBackToBackRouteToTheirNotifications) {
    const std::pair<std::uint8_t, UINT> routes[] = {
        {0x01, 1124}, {0x02, 1125}, {0x12, 1126}, {0x17, 1127}, {0x22, 1128},
        {0x23, 1129}, {0x2F, 1130}, {0x26, 1131}, {0x33, 1132}, {0x62, 1133},
    };
    Bytes stream;
    for (const auto& r : routes) stream = Concat({stream, MiniFrame(r.first, 1, r.first), MiniFrame(0x99, 1)});
    h.Arrive(stream);
    auto n = h.view.Notifications();
    ASSERT_EQ(n.size(), 10u) << "unknown command bytes are dropped";
    for (std::size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(n[i]->msg, routes[i].second);
        EXPECT_EQ(n[i]->mini[4], routes[i].first);
    }
}

TEST_F(ReceiveTest, UnknownCommandIsTracedStopsTheTimerAndPostsNothing) {
    h.pm.SendGetImage(0);
    h.loop.Advance(TIMEOUT_GET_IMAGE);  // one expiry: m_RetryCount 1
    ASSERT_EQ(h.pm.m_RetryCount, 1);
    h.view.messages.clear();
    h.Arrive(GeneralFrame(0x77, RES_SUCCESS, 0));
    EXPECT_EQ(h.view.Only(WM_PACKET_TRACE).size(), 1u);
    EXPECT_TRUE(h.view.Notifications().empty());
    EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
    EXPECT_EQ(h.pm.m_RetryCount, 0);
}

TEST_F(ReceiveTest, ChecksumErrorCodeOnAnOrdinaryAnswerShowsTheBoxOnly) {
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
    EXPECT_TRUE(h.view.Only(WM_RX_IDENTIFY).empty());
    ASSERT_EQ(h.op.boxes.size(), 1u);
    EXPECT_EQ(h.op.boxes[0].text, "Checksum error occurred!!!");
    EXPECT_EQ(h.op.boxes[0].flags & MB_TYPEMASK, MB_OK);
    EXPECT_EQ(h.view.Only(WM_PACKET_TRACE).size(), 1u) << "it is still traced";
}

TEST_F(ReceiveTest, OversizedFrameIsDroppedAsAHeaderError) {
    CPacket p;
    p.m_Command = CMD_GET_IMAGE;
    p.m_Param1 = RES_SUCCESS;
    p.m_DataSize = PACKET_DATA_SIZE + 1;
    p.PrepareForSend();
    Bytes header(25);
    header[0] = 0x7E;
    PutBE32(&header[1], p.m_Command);
    PutBE32(&header[5], p.m_Param1);
    PutBE32(&header[9], 0);
    PutBE32(&header[13], p.m_DataSize);
    PutBE32(&header[17], 0);
    PutBE32(&header[21], p.m_HeaderChecksum);
    h.Arrive(header);
    auto e = h.view.Only(WM_CHECKSUM_ERROR);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0]->wParam, 0u);
    EXPECT_EQ(h.pm.m_RxState, 0);
    // Nothing was stored; the stream resynchronises on the next frame.
    h.Arrive(Concat({Bytes(300, 0x00), GeneralFrame(CMD_STATUS, RES_SUCCESS, 0)}));
    EXPECT_EQ(h.view.Only(WM_RX_STATUS).size(), 1u);
}

TEST_F(ReceiveTest, LargestFrameIsAccepted) {
    Bytes data(PACKET_DATA_SIZE, 0xA5);
    Bytes frame = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 0, data);
    // More than the receive queue holds: deliver it in queue-sized pieces.
    for (std::size_t i = 0; i < frame.size(); i += 4000) {
        h.Arrive(Bytes(frame.begin() + i, frame.begin() + std::min(frame.size(), i + 4000)));
    }
    auto n = h.view.Only(WM_RX_READ_USER_DATA);
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0]->packet.m_DataSize, PACKET_DATA_SIZE);
    EXPECT_EQ(n[0]->packet.m_Data[PACKET_DATA_SIZE - 1], 0xA5);
}

TEST_F(ReceiveTest, AGeneralSendDoesNotResetAFrameCutOffMidway) {
    Bytes frame = GeneralFrame(CMD_STATUS, RES_SUCCESS, 0);
    h.Arrive(Bytes(frame.begin(), frame.begin() + 10));
    h.pm.SendStatus();
    EXPECT_EQ(h.pm.m_RxState, 3) << "still inside param2";
    h.pm.SendMiniStatus();
    EXPECT_EQ(h.pm.m_RxState, 0) << "a Minimized send starts over";
}

}  // namespace
