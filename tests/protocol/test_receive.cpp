// The receive side: the frame parser on its own (framing, checksums, the stop
// behind a data-less frame), and the module client taking parsed frames to
// the exchanges they answer.
#include <gtest/gtest.h>

#include "ClientHarness.h"

namespace {

// ---------------------------------------------------------------- the parser

struct SParsed {
    char kind;  // 'G' general, 'M' minimized, 'B' bad
    CPacket packet;
    Bytes bytes;
    EBadFrame bad = EBadFrame::HeaderChecksum;
};

class CRecordingSink : public IFrameSink {
public:
    std::vector<SParsed> frames;
    bool keepGoing = true;
    bool OnGeneralFrame(const CPacket& frame) override {
        SParsed p{'G', CPacket(), Bytes()};
        p.packet.CopyUsedFrom(frame);
        frames.push_back(std::move(p));
        return keepGoing;
    }
    bool OnMiniFrame(const std::uint8_t* frame) override {
        frames.push_back(SParsed{'M', CPacket(), Bytes(frame, frame + 6)});
        return keepGoing;
    }
    bool OnBadFrame(EBadFrame why, const std::uint8_t* bytes, std::size_t size) override {
        frames.push_back(SParsed{'B', CPacket(), Bytes(bytes, bytes + size), why});
        return keepGoing;
    }
};

// Feeds everything, calling the parser again after each stop.
std::size_t FeedAll(CFrameParser& parser, const Bytes& bytes, CRecordingSink& sink) {
    std::size_t at = 0, calls = 0;
    while (at < bytes.size()) {
        at += parser.Feed(bytes.data() + at, bytes.size() - at, sink);
        ++calls;
    }
    return calls;
}

TEST(FrameParser, GarbageBeforeAFrameIsSkippedAndAFrameSplitAnywhereIsWhole) {
    Bytes data(2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes stream = Concat({Bytes{0x00, 0x13, 0xFF, 0x5A}, GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 3, data)});
    for (std::size_t step : {std::size_t{1}, std::size_t{13}, stream.size()}) {
        SCOPED_TRACE(step);
        CFrameParser parser;
        CRecordingSink sink;
        for (std::size_t i = 0; i < stream.size(); i += step) {
            const std::size_t n = std::min(step, stream.size() - i);
            EXPECT_EQ(parser.Feed(stream.data() + i, n, sink), n);
        }
        ASSERT_EQ(sink.frames.size(), 1u);
        EXPECT_EQ(sink.frames[0].kind, 'G');
        EXPECT_EQ(sink.frames[0].packet.m_Param2, 3u);
        EXPECT_EQ(Bytes(sink.frames[0].packet.m_Data, sink.frames[0].packet.m_Data + 2048), data);
        EXPECT_TRUE(parser.IsIdle());
    }
}

TEST(FrameParser, StartBytesInsideDataAreDataAndStartThenMarkerIsAlwaysMinimized) {
    CFrameParser parser;
    CRecordingSink sink;
    const Bytes data = {0x7E, 0x5A, 0x7E, 0x00, 0x7E};
    FeedAll(parser, Concat({GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 5, data), MiniFrame(MINI_IDENTIFY, 1)}),
            sink);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(Bytes(sink.frames[0].packet.m_Data, sink.frames[0].packet.m_Data + 5), data);
    EXPECT_EQ(sink.frames[1].kind, 'M');
    EXPECT_EQ(sink.frames[1].bytes, (Bytes{0x7E, 0x5A, 0x12, 0x01, 0x00, 0xEB}));
}

TEST(FrameParser, BadChecksumsAreRejectedWithTheBytesThatCameAndTheNextFrameGetsThrough) {
    Bytes badHeader = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 2, {1, 2});
    badHeader[24] ^= 0x01;  // the header is judged first, even with good data
    Bytes badData = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 2, {1, 2});
    badData[25] ^= 0x40;
    Bytes badMini = MiniFrame(MINI_CONNECT, 1);
    badMini[5] ^= 0xFF;
    CFrameParser parser;
    CRecordingSink sink;
    FeedAll(parser, Concat({badHeader, badData, badMini, GeneralFrame(CMD_STATUS, RES_SUCCESS, 0)}), sink);
    ASSERT_EQ(sink.frames.size(), 4u);
    EXPECT_EQ(sink.frames[0].bad, EBadFrame::HeaderChecksum);
    EXPECT_EQ(sink.frames[0].bytes, badHeader);
    EXPECT_EQ(sink.frames[1].bad, EBadFrame::DataChecksum);
    EXPECT_EQ(sink.frames[1].bytes, badData);
    EXPECT_EQ(sink.frames[2].bad, EBadFrame::MiniChecksum);
    EXPECT_EQ(sink.frames[2].bytes, badMini);
    EXPECT_EQ(sink.frames[3].kind, 'G');
    EXPECT_EQ(sink.frames[3].packet.m_Command, static_cast<std::uint32_t>(CMD_STATUS));
}

TEST(FrameParser, ParsingStopsRightBehindADatalessFrameAndWhenTheSinkAsks) {
    const Bytes first = GeneralFrame(CMD_STATUS, RES_SUCCESS, 1);
    const Bytes stream = Concat({first, GeneralFrame(CMD_CANCEL, RES_IDLE), MiniFrame(MINI_CANCEL, 1)});
    CFrameParser parser;
    CRecordingSink sink;
    EXPECT_EQ(parser.Feed(stream.data(), stream.size(), sink), first.size());
    EXPECT_EQ(sink.frames.size(), 1u);
    EXPECT_EQ(FeedAll(parser, Bytes(stream.begin() + 25, stream.end()), sink), 2u);
    EXPECT_EQ(sink.frames.size(), 3u);
    // A sink that says stop after a frame with data.
    sink.keepGoing = false;
    const Bytes withData = GeneralFrame(CMD_GET_LOG, 0, 1, Bytes(28, 1));
    const Bytes two = Concat({withData, withData});
    EXPECT_EQ(parser.Feed(two.data(), two.size(), sink), withData.size());
}

TEST(FrameParser, AnOversizedFrameIsDroppedAtItsHeaderAndTheLargestOneIsTaken) {
    CPacket p;
    p.m_Command = CMD_GET_IMAGE;
    p.m_Param1 = RES_SUCCESS;
    p.m_DataSize = PACKET_DATA_SIZE + 1;
    p.PrepareForSend();
    Bytes header(25);
    header[0] = 0x7E;
    const std::uint32_t fields[] = {p.m_Command, p.m_Param1, 0, p.m_DataSize, 0, p.m_HeaderChecksum};
    for (int i = 0; i < 6; ++i) PutBE32(&header[1 + 4 * i], fields[i]);
    const Bytes largest = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 0, Bytes(PACKET_DATA_SIZE, 0xA5));
    CFrameParser parser;
    CRecordingSink sink;
    FeedAll(parser, Concat({header, Bytes(300, 0x00), largest}), sink);
    ASSERT_EQ(sink.frames.size(), 2u);
    EXPECT_EQ(sink.frames[0].bad, EBadFrame::Oversized);
    EXPECT_EQ(sink.frames[0].bytes, header);
    EXPECT_EQ(sink.frames[1].packet.m_DataSize, PACKET_DATA_SIZE);
    EXPECT_EQ(sink.frames[1].packet.m_Data[PACKET_DATA_SIZE - 1], 0xA5);
}

TEST(FrameParser, OnlyAResetEndsAFrameCutOffMidway) {
    const Bytes frame = GeneralFrame(CMD_STATUS, RES_SUCCESS, 0);
    CFrameParser parser;
    CRecordingSink sink;
    parser.Feed(frame.data(), 10, sink);
    EXPECT_FALSE(parser.IsIdle());
    parser.Reset();
    EXPECT_TRUE(parser.IsIdle());
    FeedAll(parser, frame, sink);
    EXPECT_EQ(sink.frames.size(), 1u);
}

// ---------------------------------------------------------------- the client

class ReceiveTest : public ::testing::Test {
protected:
    ClientHarness h;
};

TEST_F(ReceiveTest, AnAnswerReachesTheRequesterThatAskedAndIsTracedFirst) {
    ASSERT_EQ(h.Send(req::General(CMD_IDENTIFY), &h.other), ESendResult::Sent);
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {'4', '2', 0}));
    EXPECT_TRUE(h.flow.replies.empty());
    ASSERT_EQ(h.other.replies.size(), 1u);
    const SRecordedReply& r = h.other.replies[0];
    EXPECT_EQ(r.end, EExchangeEnd::Answered);
    EXPECT_EQ(r.request.command, static_cast<std::uint32_t>(CMD_IDENTIFY));
    EXPECT_STREQ(reinterpret_cast<const char*>(r.packet.m_Data), "42");
    ASSERT_EQ(h.trace.frames.size(), 2u);
    EXPECT_EQ(h.trace.frames[1].kind, ETraceKind::Answer);
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
}

// A data-less answer ends the parse; what came with it in the same read is
// parsed on a wake-up of its own posted at once, not left for a later send to
// clear (a verification's RES_CANCELED and the answer to CMD_CANCEL often
// arrive in one read).
TEST_F(ReceiveTest, TwoDatalessAnswersInOneReadAreBothDelivered) {
    h.Send(req::General(CMD_STATUS));
    h.Send(req::General(CMD_CANCEL));
    h.Send(req::Mini(MINI_CANCEL));
    h.Arrive(Concat({GeneralFrame(CMD_STATUS, RES_SUCCESS, 1), GeneralFrame(CMD_CANCEL, RES_IDLE, 0),
                     MiniFrame(MINI_CANCEL, RES_SUCCESS)}));
    ASSERT_EQ(h.flow.replies.size(), 3u);
    EXPECT_EQ(h.flow.replies[0].request.command, static_cast<std::uint32_t>(CMD_STATUS));
    EXPECT_EQ(h.flow.replies[1].request.command, static_cast<std::uint32_t>(CMD_CANCEL));
    EXPECT_TRUE(h.flow.replies[2].request.IsMini());
    EXPECT_EQ(h.client.Channel().m_QueueRead.GetCount(), 0);
    EXPECT_EQ(h.loop.PendingCount(), 0u);  // no wake-up left circling
}

// A request sent by the handler of the first answer leaves the bytes behind
// it alone: they are the answer to another open exchange.
TEST_F(ReceiveTest, ARequestSentByTheFirstAnswersHandlerKeepsTheBytesBehindIt) {
    h.flow.react = [&](const SRecordedReply& r) {
        if (r.request.command == CMD_STATUS) h.Send(req::General(CMD_IDENTIFY));
    };
    h.Send(req::General(CMD_STATUS));
    h.Send(req::General(CMD_CANCEL));
    h.Arrive(Concat({GeneralFrame(CMD_STATUS, RES_SUCCESS, 1), GeneralFrame(CMD_CANCEL, RES_IDLE, 0)}));
    ASSERT_EQ(h.flow.replies.size(), 2u);
    EXPECT_EQ(h.flow.replies[1].request.command, static_cast<std::uint32_t>(CMD_CANCEL));
    EXPECT_EQ(h.client.OpenExchanges(), 1u) << "IDENTIFY still waits";
}

// A late answer cut by nothing: the request that follows it does not empty
// the queue, so the tail of the late frame completes it and it is dropped
// whole as stale, instead of the parser hunting through image data.
TEST_F(ReceiveTest, ANewRequestDoesNotCutALateAnswerInHalf) {
    h.Send(req::General(CMD_GET_IMAGE, 0, 4));
    h.loop.Advance(TIMEOUT_GET_IMAGE);  // re-sent; both sends will be answered
    Bytes data(2048);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = i % 2 ? 0x5A : 0xA5;  // start codes inside
    const Bytes answer = GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 4, data);
    h.Arrive(answer);
    ASSERT_EQ(h.flow.replies.size(), 1u);
    h.Send(req::General(CMD_GET_IMAGE, 0, 5));
    h.client.Channel().m_QueueRead.PutChunk(answer.data(), 700);  // the duplicate, half here
    h.Send(req::General(CMD_GET_IMAGE, 0, 5));                   // superseding itself
    h.Arrive(Bytes(answer.begin() + 700, answer.end()));
    EXPECT_EQ(h.client.StaleAnswers(), 1u);
    EXPECT_TRUE(h.trace.Only(ETraceKind::Rejected).empty());
    EXPECT_TRUE(h.link.Only(WM_CHECKSUM_ERROR).empty());
    h.Arrive(GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 5, data));
    ASSERT_EQ(h.flow.replies.size(), 3u);  // the superseded one, then piece 5
    EXPECT_EQ(h.flow.replies[2].end, EExchangeEnd::Answered);
}

TEST_F(ReceiveTest, AnswersWithDataInOneReadEachKeepTheirOwnCopy) {
    h.Send(req::General(CMD_GET_IMAGE2, 0, 0));
    h.Send(req::General(CMD_READ_USER_DATA, 0, 8));
    h.Arrive(Concat({GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 0x0001, Bytes(512, 0x11)),
                     GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 8, Bytes(8, 0x22))}));
    ASSERT_EQ(h.flow.replies.size(), 2u);
    EXPECT_EQ(h.flow.replies[0].packet.m_Data[511], 0x11);
    EXPECT_EQ(h.flow.replies[1].packet.m_Data[0], 0x22);
}

TEST_F(ReceiveTest, EveryCommandOfTheCatalogueIsMatchedToItsOwnRequest) {
    std::size_t rows = 0;
    const SCommandInfo* row = CommandRows(&rows);
    ASSERT_GE(rows, 58u);
    for (std::size_t i = 0; i < rows; ++i, ++row) {
        SCOPED_TRACE(row->name);
        h.flow.replies.clear();
        const bool mini = row->form == EFrameForm::Minimized;
        // Pieces, records and chunks: the answer names the request's own.
        SRequest request = mini ? req::Mini(static_cast<std::uint8_t>(row->code))
                                : req::General(row->code, 0, row->code == CMD_UPGRADE_BIN ? 3u << 8 : 3u);
        std::uint32_t result = RES_SUCCESS, param2 = 3;
        if (row->code == CMD_GET_IMAGE2 && !mini) param2 = 3u << 8 | 9;
        if (row->code == CMD_UPGRADE_HEX && !mini) result = 0, param2 = 4;
        if (row->code == CMD_UPGRADE_BIN && !mini) param2 = 3u << 8 | 9;
        ASSERT_EQ(h.Send(request), ESendResult::Sent);
        h.Arrive(mini ? MiniFrame(static_cast<std::uint8_t>(row->code), RES_SUCCESS)
                      : GeneralFrame(row->code, result, param2, {1}));
        ASSERT_EQ(h.flow.replies.size(), 1u);
        EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Answered);
        EXPECT_EQ(h.flow.replies[0].request.command, row->code);
        EXPECT_EQ(h.flow.replies[0].request.IsMini(), mini);
    }
    EXPECT_EQ(h.client.StaleAnswers(), 0u);
}

TEST_F(ReceiveTest, AnAnswerNothingWaitsForIsStaleTracedAsSuchAndTouchesNothingOpen) {
    h.Send(req::General(CMD_GET_IMAGE, 0, 0));
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS));
    h.Arrive(GeneralFrame(0x77, RES_SUCCESS));  // no such command
    h.Arrive(MiniFrame(MINI_IDENTIFY, RES_SUCCESS));
    h.Arrive(GeneralFrame(CMD_GET_IMAGE, RES_SUCCESS, 5, Bytes(2048, 1)));  // another piece
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
    EXPECT_TRUE(h.flow.replies.empty());
    EXPECT_EQ(h.client.StaleAnswers(), 5u);
    EXPECT_EQ(h.trace.Only(ETraceKind::Stale).size(), 5u);
    EXPECT_TRUE(h.trace.Only(ETraceKind::Answer).empty());
    // The piece request is still guarded: its re-send comes on time.
    h.writes.clear();
    h.loop.Advance(TIMEOUT_GET_IMAGE);
    EXPECT_EQ(h.TakeRequests().size(), 1u);
}

TEST_F(ReceiveTest, ChecksumRefusalOfAnOrdinaryRequestEndsItWithoutAnAnswer) {
    h.Send(req::General(CMD_IDENTIFY));
    h.Arrive(GeneralFrame(CMD_IDENTIFY, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::ChecksumRefused);
    EXPECT_FALSE(h.flow.replies[0].general);
    EXPECT_EQ(h.trace.Only(ETraceKind::Answer).size(), 1u) << "it is still traced";
    EXPECT_TRUE(h.writes.size() == 1) << "and not sent again";
}

TEST_F(ReceiveTest, RejectedFramesAreTracedWithTheirBytesAndReportedToTheLink) {
    Bytes bad = GeneralFrame(CMD_READ_USER_DATA, RES_SUCCESS, 2, {1, 2});
    bad[25] ^= 0x40;
    Bytes badMini = MiniFrame(MINI_CONNECT, 1);
    badMini[5] ^= 0xFF;
    h.Send(req::General(CMD_READ_USER_DATA, 0, 2));
    h.Arrive(Concat({bad, badMini}));
    EXPECT_TRUE(h.flow.replies.empty());
    auto rejected = h.trace.Only(ETraceKind::Rejected);
    ASSERT_EQ(rejected.size(), 2u);
    EXPECT_EQ(rejected[0]->bytes, bad);
    EXPECT_EQ(rejected[0]->bad, EBadFrame::DataChecksum);
    EXPECT_EQ(rejected[1]->form, EFrameForm::Minimized);
    auto reported = h.link.Only(WM_CHECKSUM_ERROR);
    ASSERT_EQ(reported.size(), 2u);
    EXPECT_EQ(reported[0].wParam, 1u);
    EXPECT_EQ(reported[1].wParam, 0u);
    EXPECT_EQ(h.client.OpenExchanges(), 1u) << "the request still waits";
}

TEST_F(ReceiveTest, AMinimizedSendRestartsTheParserAndAGeneralOneDoesNot) {
    const Bytes frame = GeneralFrame(CMD_STATUS, RES_SUCCESS, 0);
    h.Send(req::General(CMD_STATUS));
    h.Arrive(Bytes(frame.begin(), frame.begin() + 10));
    h.Send(req::General(CMD_STATUS));
    h.Arrive(Bytes(frame.begin() + 10, frame.end()));
    EXPECT_EQ(h.flow.Ended(EExchangeEnd::Answered).size(), 1u) << "the cut frame went on absorbing";
    h.Arrive(Bytes(frame.begin(), frame.begin() + 10));
    h.Send(req::Mini(MINI_STATUS));
    h.Arrive(MiniFrame(MINI_STATUS, 0));
    EXPECT_EQ(h.flow.Ended(EExchangeEnd::Answered).size(), 2u) << "the Minimized answer was not swallowed";
}

}  // namespace
