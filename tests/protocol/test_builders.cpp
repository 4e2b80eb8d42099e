// Every request builder puts the exact header and data on the wire.
#include <gtest/gtest.h>

#include "PmHarness.h"

namespace {

struct Expect {
    std::uint32_t command, param1, param2, dataSize;
    Bytes data;  // expected leading data bytes
};

class BuilderTest : public ::testing::Test {
protected:
    PmHarness h;

    CPacket One() {
        auto frames = h.TakeRequests();
        EXPECT_EQ(frames.size(), 1u);
        return frames.empty() ? CPacket() : frames[0];
    }
    void Check(const CPacket& p, const Expect& e) {
        EXPECT_EQ(p.m_Command, e.command);
        EXPECT_EQ(p.m_Param1, e.param1);
        EXPECT_EQ(p.m_Param2, e.param2);
        EXPECT_EQ(p.m_DataSize, e.dataSize);
        EXPECT_EQ(p.m_ErrCode, 0u);
        EXPECT_TRUE(p.IsHeaderChecksumOK());
        if (p.m_DataSize) {
            EXPECT_TRUE(p.IsDataChecksumOK());
        }
        ASSERT_LE(e.data.size(), p.m_DataSize);
        EXPECT_EQ(Bytes(p.m_Data, p.m_Data + e.data.size()), e.data);
    }
};

Bytes Field(const std::string& text, std::size_t size) {
    Bytes f(size, 0);
    std::copy(text.begin(), text.end(), f.begin());
    return f;
}

TEST_F(BuilderTest, RequestsWithoutData) {
    struct Case {
        std::function<void()> send;
        Expect e;
    };
    CPacketManagerWnd& pm = h.pm;
    const Case cases[] = {
        {[&] { pm.SendConnect(); }, {1, 0, 0, 0, {}}},
        {[&] { pm.SendSetBaudRate(1); }, {2, 0, 1, 0, {}}},
        {[&] { pm.SendSetBaudRate(static_cast<std::uint32_t>(-1)); }, {2, 0, 0xFFFFFFFF, 0, {}}},
        {[&] { pm.SendGetVersion(); }, {3, 0, 0, 0, {}}},
        {[&] { pm.SendGetVersionEx(); }, {4, 0, 0, 0, {}}},
        {[&] { pm.SendGetDeviceInfo(); }, {5, 0, 0, 0, {}}},
        {[&] { pm.SendIdentify(); }, {18, 0, 0, 0, {}}},
        {[&] { pm.SendGetMinutiae(); }, {22, 0, 0, 0, {}}},
        {[&] { pm.SendCancel(); }, {23, 0, 0, 0, {}}},
        {[&] { pm.SendEnroll2(1); }, {33, 1, 0, 0, {}}},
        {[&] { pm.SendDeleteAll(2); }, {35, 2, 0, 0, {}}},
        {[&] { pm.SendEnterMaster(3); }, {37, 0, 3, 0, {}}},
        {[&] { pm.SendLeaveMaster(); }, {38, 0, 0, 0, {}}},
        {[&] { pm.SendGetFpList(); }, {40, 0, 0, 0, {}}},
        {[&] { pm.SendGetMasterList(); }, {41, 0, 0, 0, {}}},
        {[&] { pm.SendGetLog(3); }, {42, 3, 0, 0, {}}},
        {[&] { pm.SendReadUserData(100, 64); }, {43, 100, 64, 0, {}}},
        {[&] { pm.SendEraseUserData(); }, {45, 0, 0, 0, {}}},
        {[&] { pm.SendDeleteMasterPassword(); }, {46, 0, 0, 0, {}}},
        {[&] { pm.SendEnterMasterEx(3); }, {47, 3, 0, 0, {}}},
        {[&] { pm.SendGetFpListEx(); }, {48, 0, 0, 0, {}}},
        {[&] { pm.SendGetMasterListEx(); }, {49, 0, 0, 0, {}}},
        {[&] { pm.SendGetLogEx(0, 17); }, {50, 0, 17, 0, {}}},
        {[&] { pm.SendGetLogEx(4, 2); }, {50, 4, 2, 0, {}}},
        {[&] { pm.SendEnrollEx(1, 1); }, {51, 1, 1, 0, {}}},
        {[&] { pm.SendSetOppOption(15, 100, 3); }, {64, 0, 0x000F6403, 0, {}}},
        {[&] { pm.SendGetOppOption(); }, {65, 0, 0, 0, {}}},
        {[&] { pm.SendSetSecurityLevel(5, 8); }, {66, 0, 0x00050008, 0, {}}},
        {[&] { pm.SendGetSecurityLevel(); }, {67, 0, 0, 0, {}}},
        {[&] { pm.SendSetLatentOption(1); }, {68, 0, 1, 0, {}}},
        {[&] { pm.SendGetLatentOption(); }, {69, 0, 0, 0, {}}},
        {[&] { pm.SendSetDbInitOption(1); }, {70, 0, 1, 0, {}}},
        {[&] { pm.SendGetDbInitOption(); }, {71, 0, 0, 0, {}}},
        {[&] { pm.SendSetLogOption(1); }, {72, 0, 1, 0, {}}},
        {[&] { pm.SendGetLogOption(); }, {73, 0, 0, 0, {}}},
        {[&] { pm.SendSetCapturePeriod(255); }, {74, 0, 255, 0, {}}},
        {[&] { pm.SendGetCapturePeriod(); }, {75, 0, 0, 0, {}}},
        {[&] { pm.SendGetImage(35); }, {96, 0, 35, 0, {}}},
        {[&] { pm.SendStatus(); }, {98, 0, 0, 0, {}}},
        {[&] { pm.SendGetImage2(7); }, {99, 0, 7, 0, {}}},
        {[&] { pm.SendCheckVoltage(); }, {112, 0, 0, 0, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.e.command);
        // A data-carrying request before each one: the builder must not leak
        // its data size or parameters into the next request.
        pm.SendVerify(1, "999", "pw");
        h.TakeWritten();
        c.send();
        Bytes frame = h.TakeWritten();
        EXPECT_EQ(frame.size(), 25u);
        Check(ParseFrames(frame).at(0), c.e);
    }
}

TEST_F(BuilderTest, SecurityLevelBytesOnTheWire) {
    h.pm.SendSetSecurityLevel(5, 8);
    Bytes frame = h.TakeWritten();
    EXPECT_EQ(Bytes(frame.begin() + 9, frame.begin() + 13), (Bytes{0x00, 0x05, 0x00, 0x08}));
    h.pm.SendSetOppOption(15, 100, 3);
    frame = h.TakeWritten();
    EXPECT_EQ(Bytes(frame.begin() + 9, frame.begin() + 13), (Bytes{0x00, 0x0F, 0x64, 0x03}));
}

TEST_F(BuilderTest, TextFields) {
    h.pm.SendVerify(0, "7");
    Check(One(), {17, 0, 0, 10, Field("7", 10)});
    h.pm.SendVerify(1, "12", "abc");
    ASSERT_EQ(h.writes.size(), 1u) << "a General frame goes out in one write";
    Check(One(), {17, 1, 0, 26, Concat({Field("12", 10), Field("abc", 16)})});
    h.pm.SendEnroll(0, "7");
    Check(One(), {32, 0, 0, 10, Field("7", 10)});
    h.pm.SendDelete("123456789");
    Check(One(), {34, 0, 0, 10, Field("123456789", 10)});
    h.pm.SendSetMaster(1, "5");
    Check(One(), {36, 1, 0, 10, Field("5", 10)});
    h.pm.SendSetMaster(0, "5");
    Check(One(), {36, 0, 0, 10, Field("5", 10)});
    h.pm.SendEnterMaster(0, "1");
    Check(One(), {37, 0, 0, 10, Field("1", 10)});
    h.pm.SendEnterMaster(2, "", "secret");
    Check(One(), {37, 0, 2, 16, Field("secret", 16)});
    h.pm.SendSetMasterPassword("123456789012345");
    Check(One(), {39, 0, 0, 16, Field("123456789012345", 16)});
    h.pm.SendEnterMasterEx(0, "3");
    Check(One(), {47, 0, 0, 10, Field("3", 10)});
    h.pm.SendEnterMasterEx(1, "3", "pw");
    Check(One(), {47, 1, 0, 26, Concat({Field("3", 10), Field("pw", 16)})});
    h.pm.SendEnterMasterEx(2, "", "dev");
    Check(One(), {47, 2, 0, 16, Field("dev", 16)});
    h.pm.SendEnrollEx(1, 0, "12", "abc");
    Check(One(), {51, 1, 0, 26, Concat({Field("12", 10), Field("abc", 16)})});
}

TEST_F(BuilderTest, OverlongTextIsCutToKeepItsTerminator) {
    h.pm.SendDelete("1234567890ABC");
    CPacket p = One();
    EXPECT_EQ(p.m_Data[9], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_Data)), "123456789");
    h.pm.SendSetMasterPassword(std::string(20, 'x'));
    p = One();
    EXPECT_EQ(p.m_Data[15], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_Data)), std::string(15, 'x'));
}

TEST_F(BuilderTest, InstantMatchIsA429ByteFrame) {
    std::uint8_t minutiae[MINUTIAE_SIZE];
    for (int i = 0; i < MINUTIAE_SIZE; ++i) minutiae[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    h.pm.SendInstantMatch(minutiae);
    Bytes frame = h.TakeWritten();
    ASSERT_EQ(frame.size(), 429u);
    Check(ParseFrames(frame).at(0), {21, 0, 0, 400, Bytes(minutiae, minutiae + 400)});
}

TEST_F(BuilderTest, WriteUserDataCarriesTheTextAndItsTerminator) {
    h.pm.SendWriteUserData(16, 5, "HELLO");
    Check(One(), {44, 16, 5, 5, {0x48, 0x45, 0x4C, 0x4C, 0x4F}});
    h.pm.SendWriteUserData(0, 6, "HELLO");
    Check(One(), {44, 0, 6, 6, {0x48, 0x45, 0x4C, 0x4C, 0x4F, 0x00}});
}

TEST_F(BuilderTest, WriteUserDataTooLargeForAFrameIsNotSent) {
    h.pm.SendWriteUserData(0, 8192, std::string(8192, 'A'));
    EXPECT_TRUE(h.writes.empty());
}

TEST_F(BuilderTest, EverySendIsTracedAsBuilt) {
    h.pm.SendSetOppOption(15, 100, 3);
    auto traces = h.view.Only(WM_PACKET_TRACE);
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0]->lParam, 0);
    EXPECT_EQ(traces[0]->packet.m_Command, static_cast<std::uint32_t>(CMD_SET_OPP_OPTION));
    EXPECT_EQ(traces[0]->packet.m_Param2, 0x000F6403u);
}

TEST_F(BuilderTest, MinimizedFramesGoOutByteByByteUntraced) {
    struct Case {
        std::function<void()> send;
        Bytes frame;
    };
    CPacketManagerWnd& pm = h.pm;
    const Case cases[] = {
        {[&] { pm.SendMiniConnect(); }, MiniFrame(0x01, 0, 0)},
        {[&] { pm.SendMiniSetBaudRate(1); }, {0x7E, 0x5A, 0x02, 0x01, 0x00, 0xDB}},
        {[&] { pm.SendMiniIdentify(); }, MiniFrame(0x12, 0, 0)},
        {[&] { pm.SendMiniCancel(); }, MiniFrame(0x17, 0, 0)},
        {[&] { pm.SendMiniDelete(); }, MiniFrame(0x22, 0, 0)},
        {[&] { pm.SendMiniDeleteAll(); }, MiniFrame(0x23, 0, 0)},
        {[&] { pm.SendMiniEnterMaster(); }, MiniFrame(0x2F, 0, 0)},
        {[&] { pm.SendMiniLeaveMaster(); }, MiniFrame(0x26, 0, 0)},
        {[&] { pm.SendMiniEnroll(1); }, MiniFrame(0x33, 0, 1)},
        {[&] { pm.SendMiniStatus(); }, MiniFrame(0x62, 0, 0)},
    };
    for (const auto& c : cases) {
        h.writes.clear();
        c.send();
        ASSERT_EQ(h.writes.size(), 6u);
        for (const auto& w : h.writes) EXPECT_EQ(w.size(), 1u);
        EXPECT_EQ(h.TakeWritten(), c.frame);
    }
    EXPECT_TRUE(h.view.Only(WM_PACKET_TRACE).empty());
    EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
}

TEST_F(BuilderTest, SendingEmptiesTheReceiveQueue) {
    Bytes junk(100, 0x33);
    h.pm.m_Comm.m_QueueRead.PutChunk(junk.data(), 100);
    h.pm.SendConnect();
    EXPECT_EQ(h.pm.m_Comm.m_QueueRead.GetCount(), 0);
    h.pm.m_Comm.m_QueueRead.PutChunk(junk.data(), 100);
    h.pm.SendMiniConnect();
    EXPECT_EQ(h.pm.m_Comm.m_QueueRead.GetCount(), 0);
}

}  // namespace
