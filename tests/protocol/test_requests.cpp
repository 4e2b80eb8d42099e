// Every request goes out with the exact header and data the module expects.
#include <gtest/gtest.h>

#include "ClientHarness.h"

namespace {

struct Expect {
    std::uint32_t command, param1, param2, dataSize;
    Bytes data;  // expected leading data bytes
};

class RequestTest : public ::testing::Test {
protected:
    ClientHarness h;

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

TEST_F(RequestTest, RequestsWithoutData) {
    struct Case {
        std::function<void()> send;
        Expect e;
    };
    const Case cases[] = {
        {[&] { h.Send(req::General(CMD_CONNECT)); }, {1, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_BAUDRATE, 0, 1)); }, {2, 0, 1, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_BAUDRATE, 0, static_cast<std::uint32_t>(-1))); }, {2, 0, 0xFFFFFFFF, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_VERSION)); }, {3, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_VERSION_EX)); }, {4, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_DEVICE_INFO)); }, {5, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_IDENTIFY)); }, {18, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_MINUTIAE)); }, {22, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_CANCEL)); }, {23, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_ENROLL2, 1)); }, {33, 1, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_DELETE_ALL, 2)); }, {35, 2, 0, 0, {}}},
        {[&] { h.Send(req::EnterMaster(AUTH_NONE)); }, {37, 0, 3, 0, {}}},
        {[&] { h.Send(req::General(CMD_LEAVE_MASTER)); }, {38, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_FP_LIST)); }, {40, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_MASTER_LIST)); }, {41, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_LOG, 3)); }, {42, 3, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_READ_USER_DATA, 100, 64)); }, {43, 100, 64, 0, {}}},
        {[&] { h.Send(req::General(CMD_ERASE_USER_DATA)); }, {45, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_DELETE_MASTER_PASSWORD)); }, {46, 0, 0, 0, {}}},
        {[&] { h.Send(req::EnterMasterEx(AUTH_NONE)); }, {47, 3, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_FP_LIST_EX)); }, {48, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_MASTER_LIST_EX)); }, {49, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_LOG_EX, 0, 17)); }, {50, 0, 17, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_LOG_EX, 4, 2)); }, {50, 4, 2, 0, {}}},
        {[&] { h.Send(req::EnrollEx(1, 1)); }, {51, 1, 1, 0, {}}},
        {[&] { h.Send(req::SetOppOption(15, 100, 3)); }, {64, 0, 0x000F6403, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_OPP_OPTION)); }, {65, 0, 0, 0, {}}},
        {[&] { h.Send(req::SetSecurityLevel(5, 8)); }, {66, 0, 0x00050008, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_SECURITY_LEVEL)); }, {67, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_LATENT_OPTION, 0, 1)); }, {68, 0, 1, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_LATENT_OPTION)); }, {69, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_DB_INIT_OPTION, 0, 1)); }, {70, 0, 1, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_DB_INIT_OPTION)); }, {71, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_LOG_OPTION, 0, 1)); }, {72, 0, 1, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_LOG_OPTION)); }, {73, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_SET_CAPTURE_PERIOD, 0, 255)); }, {74, 0, 255, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_CAPTURE_PERIOD)); }, {75, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_IMAGE, 0, 35)); }, {96, 0, 35, 0, {}}},
        {[&] { h.Send(req::General(CMD_STATUS)); }, {98, 0, 0, 0, {}}},
        {[&] { h.Send(req::General(CMD_GET_IMAGE2, 0, 7)); }, {99, 0, 7, 0, {}}},
        {[&] { h.Send(req::General(CMD_CHECK_VOLTAGE)); }, {112, 0, 0, 0, {}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.e.command);
        // A data-carrying request before each one: the builder must not leak
        // its data size or parameters into the next request.
        h.Send(req::Verify(1, "999", "pw"));
        h.TakeWritten();
        c.send();
        Bytes frame = h.TakeWritten();
        EXPECT_EQ(frame.size(), 25u);
        Check(ParseFrames(frame).at(0), c.e);
    }
}

TEST_F(RequestTest, SecurityLevelBytesOnTheWire) {
    h.Send(req::SetSecurityLevel(5, 8));
    Bytes frame = h.TakeWritten();
    EXPECT_EQ(Bytes(frame.begin() + 9, frame.begin() + 13), (Bytes{0x00, 0x05, 0x00, 0x08}));
    h.Send(req::SetOppOption(15, 100, 3));
    frame = h.TakeWritten();
    EXPECT_EQ(Bytes(frame.begin() + 9, frame.begin() + 13), (Bytes{0x00, 0x0F, 0x64, 0x03}));
}

TEST_F(RequestTest, TextFields) {
    h.Send(req::Verify(0, "7"));
    Check(One(), {17, 0, 0, 10, Field("7", 10)});
    h.Send(req::Verify(1, "12", "abc"));
    ASSERT_EQ(h.writes.size(), 1u) << "a General frame goes out in one write";
    Check(One(), {17, 1, 0, 26, Concat({Field("12", 10), Field("abc", 16)})});
    h.Send(req::Enroll(0, "7"));
    Check(One(), {32, 0, 0, 10, Field("7", 10)});
    h.Send(req::Delete("123456789"));
    Check(One(), {34, 0, 0, 10, Field("123456789", 10)});
    h.Send(req::SetMaster(1, "5"));
    Check(One(), {36, 1, 0, 10, Field("5", 10)});
    h.Send(req::SetMaster(0, "5"));
    Check(One(), {36, 0, 0, 10, Field("5", 10)});
    h.Send(req::EnterMaster(0, "1"));
    Check(One(), {37, 0, 0, 10, Field("1", 10)});
    h.Send(req::EnterMaster(2, "", "secret"));
    Check(One(), {37, 0, 2, 16, Field("secret", 16)});
    h.Send(req::SetMasterPassword("123456789012345"));
    Check(One(), {39, 0, 0, 16, Field("123456789012345", 16)});
    h.Send(req::EnterMasterEx(0, "3"));
    Check(One(), {47, 0, 0, 10, Field("3", 10)});
    h.Send(req::EnterMasterEx(1, "3", "pw"));
    Check(One(), {47, 1, 0, 26, Concat({Field("3", 10), Field("pw", 16)})});
    h.Send(req::EnterMasterEx(2, "", "dev"));
    Check(One(), {47, 2, 0, 16, Field("dev", 16)});
    h.Send(req::EnrollEx(1, 0, "12", "abc"));
    Check(One(), {51, 1, 0, 26, Concat({Field("12", 10), Field("abc", 16)})});
}

TEST_F(RequestTest, OverlongTextIsCutToKeepItsTerminator) {
    h.Send(req::Delete("1234567890ABC"));
    CPacket p = One();
    EXPECT_EQ(p.m_Data[9], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_Data)), "123456789");
    h.Send(req::SetMasterPassword(std::string(20, 'x')));
    p = One();
    EXPECT_EQ(p.m_Data[15], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.m_Data)), std::string(15, 'x'));
}

TEST_F(RequestTest, InstantMatchIsA429ByteFrame) {
    std::uint8_t minutiae[MINUTIAE_SIZE];
    for (int i = 0; i < MINUTIAE_SIZE; ++i) minutiae[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    h.Send(req::InstantMatch(minutiae));
    Bytes frame = h.TakeWritten();
    ASSERT_EQ(frame.size(), 429u);
    Check(ParseFrames(frame).at(0), {21, 0, 0, 400, Bytes(minutiae, minutiae + 400)});
}

TEST_F(RequestTest, WriteUserDataCarriesTheTextAndItsTerminator) {
    h.Send(req::WriteUserData(16, 5, "HELLO"));
    Check(One(), {44, 16, 5, 5, {0x48, 0x45, 0x4C, 0x4C, 0x4F}});
    h.Send(req::WriteUserData(0, 6, "HELLO"));
    Check(One(), {44, 0, 6, 6, {0x48, 0x45, 0x4C, 0x4C, 0x4F, 0x00}});
}

TEST_F(RequestTest, WriteUserDataTooLargeForAFrameIsNotSent) {
    EXPECT_EQ(h.Send(req::WriteUserData(0, 8192, std::string(8192, 'A'))), ESendResult::TooLarge);
    EXPECT_TRUE(h.writes.empty());
    EXPECT_TRUE(h.trace.frames.empty());
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
}

TEST_F(RequestTest, EverySendIsTracedAsBuilt) {
    h.Send(req::SetOppOption(15, 100, 3));
    auto traces = h.trace.Only(ETraceKind::Request);
    ASSERT_EQ(traces.size(), 1u);
    EXPECT_EQ(traces[0]->form, EFrameForm::General);
    EXPECT_EQ(traces[0]->command, static_cast<std::uint32_t>(CMD_SET_OPP_OPTION));
    EXPECT_EQ(traces[0]->param2, 0x000F6403u);
    EXPECT_EQ(traces[0]->send, 1);
}

TEST_F(RequestTest, NothingIsWrittenOrTracedWithoutALink) {
    h.client.Close();
    EXPECT_EQ(h.Send(req::General(CMD_IDENTIFY)), ESendResult::NotOpen);
    EXPECT_EQ(h.Send(req::Mini(MINI_IDENTIFY)), ESendResult::NotOpen);
    EXPECT_TRUE(h.writes.empty());
    EXPECT_TRUE(h.trace.frames.empty());
    EXPECT_EQ(h.client.OpenExchanges(), 0u);
}

TEST_F(RequestTest, ACommandTheCatalogueDoesNotKnowIsNotSent) {
    EXPECT_EQ(h.Send(req::General(0x99)), ESendResult::Unknown);
    EXPECT_EQ(h.Send(req::Mini(0x44)), ESendResult::Unknown);
    EXPECT_TRUE(h.writes.empty());
}

TEST_F(RequestTest, MinimizedFramesGoOutByteByByteAndAreTracedWhole) {
    struct Case {
        SRequest request;
        Bytes frame;
    };
    const Case cases[] = {
        {req::Mini(MINI_CONNECT), MiniFrame(0x01, 0, 0)},
        {req::Mini(MINI_SET_BAUDRATE, 1), {0x7E, 0x5A, 0x02, 0x01, 0x00, 0xDB}},
        {req::Mini(MINI_IDENTIFY), MiniFrame(0x12, 0, 0)},
        {req::Mini(MINI_CANCEL), MiniFrame(0x17, 0, 0)},
        {req::Mini(MINI_DELETE), MiniFrame(0x22, 0, 0)},
        {req::Mini(MINI_DELETE_ALL), MiniFrame(0x23, 0, 0)},
        {req::Mini(MINI_ENTER_MASTER), MiniFrame(0x2F, 0, 0)},
        {req::Mini(MINI_LEAVE_MASTER), MiniFrame(0x26, 0, 0)},
        {req::Mini(MINI_ENROLL, 0, 1), MiniFrame(0x33, 0, 1)},
        {req::Mini(MINI_STATUS), MiniFrame(0x62, 0, 0)},
    };
    for (const auto& c : cases) {
        h.writes.clear();
        h.trace.frames.clear();
        h.Send(c.request);
        ASSERT_EQ(h.writes.size(), 6u);
        for (const auto& w : h.writes) EXPECT_EQ(w.size(), 1u);
        EXPECT_EQ(h.TakeWritten(), c.frame);
        ASSERT_EQ(h.trace.frames.size(), 1u);
        EXPECT_EQ(h.trace.frames[0].form, EFrameForm::Minimized);
        EXPECT_EQ(h.trace.frames[0].bytes, c.frame);
    }
    // Nothing guards a Minimized request: no time passes for it.
    EXPECT_EQ(h.loop.NextDue(), -1);
}

// Bytes that are no frame (line noise, a module at another speed) are
// skipped on the way to the answer; nothing is reported for them.
TEST_F(RequestTest, NoiseBeforeTheAnswerIsSkipped) {
    h.Send(req::General(CMD_CONNECT));
    Bytes bytes(100, 0x33);
    const Bytes answer = GeneralFrame(CMD_CONNECT, RES_SUCCESS);
    bytes.insert(bytes.end(), answer.begin(), answer.end());
    h.Arrive(bytes);
    ASSERT_EQ(h.flow.replies.size(), 1u);
    EXPECT_EQ(h.flow.replies[0].end, EExchangeEnd::Answered);
    EXPECT_TRUE(h.link.Only(WM_CHECKSUM_ERROR).empty());
}

}  // namespace
