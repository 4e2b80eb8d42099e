// Timer 0: the guarded requests, their re-sends and the tenth expiry, all on
// the virtual clock.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include <unistd.h>

#include "PmHarness.h"

namespace {

struct GuardedCase {
    const char* name;
    std::uint32_t command;
    unsigned timeoutMs;
    const char* failure;
    std::function<void(CPacketManagerWnd&)> send;
};

std::vector<GuardedCase> Cases(const std::string& hexFile, const std::string& binFile) {
    return {
        {"GetLog", CMD_GET_LOG, 80000, "Upgrade process was canceled! (COMMUNICATOIN ERROR)",
         [](CPacketManagerWnd& pm) { pm.SendGetLog(7); }},
        {"GetImage", CMD_GET_IMAGE, 4000, "Image Receiving Error!!! (COMMUNICATOIN ERROR)",
         [](CPacketManagerWnd& pm) { pm.SendGetImage(12); }},
        {"GetImage2", CMD_GET_IMAGE2, 3000, "Capture2: Image Receiving Error!!! (COMMUNICATOIN ERROR)",
         [](CPacketManagerWnd& pm) { pm.SendGetImage2(5); }},
        {"CheckVoltage", CMD_CHECK_VOLTAGE, 1000, "Upgrade process was canceled! (COMMUNICATOIN ERROR)",
         [](CPacketManagerWnd& pm) { pm.SendCheckVoltage(); }},
        {"UpgradeHex", CMD_UPGRADE_HEX, 5000, "Upgrade process was canceled! (COMMUNICATOIN ERROR)",
         [hexFile](CPacketManagerWnd& pm) {
             std::uint32_t pos = 0;
             ASSERT_TRUE(pm.SendHexRecord(hexFile, pos, 0));
             ASSERT_TRUE(pm.SendHexRecord(hexFile, pos, 1));  // the record under test: the second
         }},
        {"UpgradeBin", CMD_UPGRADE_BIN, 5000, "Upgrade process was canceled! (COMMUNICATOIN ERROR)",
         [binFile](CPacketManagerWnd& pm) {
             pm.m_FwFileSize = 3000;
             pm.m_FwLastChunk = 1;
             ASSERT_TRUE(pm.SendBinChunk(binFile, 1));
         }},
    };
}

// The commands of the WM_FW_TRANSFER_ENDED reports the owner received.
std::vector<WPARAM> FirmwareEnded(const PmHarness& h) {
    std::vector<WPARAM> commands;
    for (const auto& m : h.view.messages) {
        if (m.msg == WM_FW_TRANSFER_ENDED) commands.push_back(m.wParam);
    }
    return commands;
}

class GuardedRequests : public ::testing::Test {
protected:
    void SetUp() override {
        // ctest runs tests in parallel processes: every test has its own files.
        std::string stem = ::testing::TempDir() + "/" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + "-" +
                           std::to_string(getpid());
        hexFile = stem + ".hex";
        std::ofstream(hexFile) << ":020000040800F2\n:0400100001020304E2\n:00000001FF\n";
        binFile = stem + ".bin";
        std::ofstream bin(binFile, std::ios::binary);
        for (int i = 0; i < 3000; ++i) bin.put(static_cast<char>(i % 251));
    }
    void TearDown() override {
        std::remove(hexFile.c_str());
        std::remove(binFile.c_str());
    }
    std::string hexFile, binFile;
};

TEST_F(GuardedRequests, EachIsSentTenTimesAndTheTenthExpiryIsShownOnce) {
    for (const auto& c : Cases(hexFile, binFile)) {
        SCOPED_TRACE(c.name);
        PmHarness h;
        c.send(h.pm);
        std::vector<CPacket> first = h.TakeRequests();
        ASSERT_FALSE(first.empty());
        const CPacket original = first.back();
        ASSERT_EQ(original.m_Command, c.command);

        for (int expiry = 1; expiry <= 9; ++expiry) {
            // Nothing happens a millisecond before the time-out.
            h.loop.Advance(c.timeoutMs - 1);
            EXPECT_TRUE(h.TakeWritten().empty()) << "expiry " << expiry;
            h.loop.Advance(1);
            std::vector<CPacket> resent = h.TakeRequests();
            ASSERT_EQ(resent.size(), 1u) << "expiry " << expiry;
            EXPECT_EQ(resent[0].m_Command, original.m_Command);
            EXPECT_EQ(resent[0].m_Param1, original.m_Param1);
            EXPECT_EQ(resent[0].m_Param2, original.m_Param2);
            EXPECT_EQ(resent[0].m_DataSize, original.m_DataSize);
            EXPECT_EQ(0, std::memcmp(resent[0].m_Data, original.m_Data, original.m_DataSize));
            EXPECT_EQ(h.pm.m_RetryCount, expiry);
        }
        EXPECT_TRUE(h.op.boxes.empty());
        h.loop.Advance(c.timeoutMs);
        EXPECT_TRUE(h.TakeWritten().empty()) << "no eleventh send";
        ASSERT_EQ(h.op.boxes.size(), 1u);
        EXPECT_EQ(h.op.boxes[0].text, c.failure);
        EXPECT_EQ(h.op.boxes[0].flags & MB_ICONMASK, MB_ICONSTOP);
        EXPECT_EQ(h.pm.m_RetryCount, 0);
        EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
        // The owner learns that a firmware transfer is over (its window must go).
        const bool firmware = c.command == CMD_UPGRADE_HEX || c.command == CMD_UPGRADE_BIN;
        EXPECT_EQ(FirmwareEnded(h), firmware ? std::vector<WPARAM>{c.command} : std::vector<WPARAM>{});

        // Long after, nothing more happens; a new request again gets ten sends.
        h.loop.Advance(10 * 80000);
        EXPECT_EQ(h.op.boxes.size(), 1u);
        c.send(h.pm);
        h.TakeWritten();
        for (int i = 0; i < 9; ++i) {
            h.loop.Advance(c.timeoutMs);
            EXPECT_EQ(h.TakeRequests().size(), 1u);
        }
        h.loop.Advance(c.timeoutMs);
        EXPECT_EQ(h.op.boxes.size(), 2u);
    }
}

TEST_F(GuardedRequests, TenLogTimeOutsRunOnTheVirtualClock) {
    PmHarness h;
    h.pm.SendGetLog(0);
    for (int i = 0; i < 10; ++i) h.loop.Advance(80000);
    EXPECT_EQ(h.loop.Now(), 800000);
    EXPECT_EQ(ParseFrames(h.TakeWritten()).size(), 10u);
    EXPECT_EQ(h.op.boxes.size(), 1u);
}

TEST_F(GuardedRequests, AnAnswerResetsTheCountAndStopsTheTimer) {
    PmHarness h;
    h.pm.SendGetImage2(0);
    h.loop.Advance(3 * 3000);
    EXPECT_EQ(h.pm.m_RetryCount, 3);
    h.Arrive(GeneralFrame(CMD_GET_IMAGE2, RES_SUCCESS, 0x0001, Bytes(512, 1)));
    EXPECT_EQ(h.pm.m_RetryCount, 0);
    EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
    h.TakeWritten();
    h.loop.Advance(60000);
    EXPECT_TRUE(h.TakeWritten().empty());
}

TEST_F(GuardedRequests, AMinimizedAnswerNeverStopsTimerZero) {
    PmHarness h;
    h.pm.SendGetImage(0);
    h.loop.Advance(4000);
    h.Arrive(MiniFrame(MINI_STATUS, RES_SUCCESS));
    EXPECT_TRUE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
    EXPECT_EQ(h.pm.m_RetryCount, 1);
    h.TakeWritten();
    h.loop.Advance(4000);
    EXPECT_EQ(h.TakeRequests().size(), 1u);
}

TEST_F(GuardedRequests, LogExIsNeverResentAndItsTimerKeepsRunning) {
    PmHarness h;
    h.pm.SendGetLogEx(3, 0);
    EXPECT_EQ(h.pm.m_LogSearchType, 3u);
    h.TakeWritten();
    h.loop.Advance(20 * 80000);
    EXPECT_TRUE(h.TakeWritten().empty());
    EXPECT_TRUE(h.op.boxes.empty());
    EXPECT_TRUE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
    EXPECT_EQ(h.pm.m_RetryCount, 0);
}

TEST_F(GuardedRequests, AnUnguardedRequestAfterAGuardedOneLeavesTheTimerAlone) {
    PmHarness h;
    h.pm.SendGetImage(4);
    h.pm.SendStatus();  // not guarded: the image piece stays the retry copy
    h.TakeWritten();
    h.loop.Advance(4000);
    auto resent = h.TakeRequests();
    ASSERT_EQ(resent.size(), 1u);
    EXPECT_EQ(resent[0].m_Command, static_cast<std::uint32_t>(CMD_GET_IMAGE));
    EXPECT_EQ(resent[0].m_Param2, 4u);
}

TEST_F(GuardedRequests, ChecksumErrorOnABinChunkIsResentWithoutLimit) {
    PmHarness h;
    h.pm.m_FwFileSize = 3000;
    h.pm.m_FwLastChunk = 1;
    ASSERT_TRUE(h.pm.SendBinChunk(binFile, 1));
    CPacket original = h.TakeRequests().at(0);
    for (int i = 0; i < 25; ++i) {
        h.Arrive(GeneralFrame(CMD_UPGRADE_BIN, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
        auto resent = h.TakeRequests();
        ASSERT_EQ(resent.size(), 1u) << i;
        EXPECT_EQ(resent[0].m_Param2, original.m_Param2);
        EXPECT_EQ(0, std::memcmp(resent[0].m_Data, original.m_Data, 2052));
        EXPECT_EQ(h.pm.m_RetryCount, 0);
    }
    EXPECT_TRUE(h.op.boxes.empty());
    EXPECT_TRUE(h.view.Only(WM_RX_UPGRADE).empty());
}

// A HEX record the module rejected for its checksum goes out again at once,
// like a BIN chunk: no box, no notification, the record and its number
// unchanged, and the time-out guard re-armed for the new send.
TEST_F(GuardedRequests, ChecksumErrorOnAHexRecordIsResentWithoutABox) {
    PmHarness h;
    std::uint32_t pos = 0;
    ASSERT_TRUE(h.pm.SendHexRecord(hexFile, pos, 0));
    ASSERT_TRUE(h.pm.SendHexRecord(hexFile, pos, 1));
    CPacket original = h.TakeRequests().back();
    ASSERT_EQ(original.m_DataSize, 14u);
    for (int i = 0; i < 12; ++i) {
        h.Arrive(GeneralFrame(CMD_UPGRADE_HEX, RES_SUCCESS, 1, {}, ERR_CHECKSUM));
        auto resent = h.TakeRequests();
        ASSERT_EQ(resent.size(), 1u) << i;
        EXPECT_EQ(resent[0].m_Command, static_cast<std::uint32_t>(CMD_UPGRADE_HEX));
        EXPECT_EQ(resent[0].m_Param2, 1u);
        ASSERT_EQ(resent[0].m_DataSize, original.m_DataSize);
        EXPECT_EQ(0, std::memcmp(resent[0].m_Data, original.m_Data, original.m_DataSize));
        EXPECT_TRUE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
    }
    h.loop.RunPending();
    EXPECT_TRUE(h.op.boxes.empty());
    EXPECT_TRUE(h.view.Only(WM_RX_UPGRADE).empty());
}

// A piece rejected for its checksum when its file can no longer be read: the
// upgrade ends with the same message as when the module stops answering, and
// no timer is left to wait for an answer to a request that was never sent.
TEST_F(GuardedRequests, ChecksumErrorWhenTheFirmwareFileVanishedEndsTheUpgrade) {
    for (std::uint32_t command : {std::uint32_t(CMD_UPGRADE_HEX), std::uint32_t(CMD_UPGRADE_BIN)}) {
        SCOPED_TRACE(command);
        PmHarness h;
        if (command == CMD_UPGRADE_HEX) {
            std::uint32_t pos = 0;
            ASSERT_TRUE(h.pm.SendHexRecord(hexFile, pos, 0));
        } else {
            h.pm.m_FwFileSize = 3000;
            h.pm.m_FwLastChunk = 1;
            ASSERT_TRUE(h.pm.SendBinChunk(binFile, 0));
        }
        h.TakeWritten();
        const std::string& file = command == CMD_UPGRADE_HEX ? hexFile : binFile;
        std::string hidden = file + ".away";
        ASSERT_EQ(std::rename(file.c_str(), hidden.c_str()), 0);
        h.Arrive(GeneralFrame(command, RES_SUCCESS, 0, {}, ERR_CHECKSUM));
        std::rename(hidden.c_str(), file.c_str());
        EXPECT_TRUE(h.TakeWritten().empty());
        ASSERT_EQ(h.op.boxes.size(), 1u);
        EXPECT_EQ(h.op.boxes[0].text, "Upgrade process was canceled! (COMMUNICATOIN ERROR)");
        EXPECT_FALSE(h.loop.IsTimerRunning(&h.pm, RETRY_TIMER_ID));
        EXPECT_EQ(FirmwareEnded(h), std::vector<WPARAM>{command});
        h.loop.Advance(60000);
        EXPECT_TRUE(h.TakeWritten().empty());
        EXPECT_EQ(h.op.boxes.size(), 1u);
    }
}

TEST_F(GuardedRequests, AHexRecordWhoseFileVanishedEndsLikeALostLink) {
    PmHarness h;
    std::string file = ::testing::TempDir() + "/vanishing-" + std::to_string(getpid()) + ".hex";
    std::ofstream(file) << ":00000001FF\n";
    std::uint32_t pos = 0;
    ASSERT_TRUE(h.pm.SendHexRecord(file, pos, 0));
    std::remove(file.c_str());
    h.TakeWritten();
    h.loop.Advance(5000);
    EXPECT_TRUE(h.TakeWritten().empty());
    ASSERT_EQ(h.op.boxes.size(), 1u);
    EXPECT_EQ(h.op.boxes[0].text, "Upgrade process was canceled! (COMMUNICATOIN ERROR)");
}

TEST_F(GuardedRequests, OtherTimerIdsAreIgnored) {
    PmHarness h;
    h.pm.SendGetImage(0);
    h.TakeWritten();
    h.pm.WindowProc(WM_TIMER, 5, 0);
    EXPECT_TRUE(h.TakeWritten().empty());
    EXPECT_EQ(h.pm.m_RetryCount, 0);
}

}  // namespace
