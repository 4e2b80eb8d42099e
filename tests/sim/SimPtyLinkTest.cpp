// Over a real pseudo-terminal with the console's packet manager and serial
// channel: connection and line speed, identity, master mode, faults.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>

#include "sim/PtyHarness.h"

namespace {

constexpr std::uint32_t OK = RES_SUCCESS;

using SimLink = CSimLinkTest;

TEST_F(SimLink, ConnectAtTheRightSpeedBothProtocols) {
    SimOptions o = Fast();
    o.baud = 57600;
    o.type = 1;
    StartLink(o);
    sim.RunLocked([](CSimModule& m) { m.AddRecord({"1", 1, false, ""}); });
    pm.SendConnect();
    SViewMessage a = Next(WM_RX_CONNECT);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(a.Param2() & 0xFFFF, 1u);
    pm.SendMiniConnect();
    SViewMessage m = Next(WM_RX_MINI_CONNECT);
    EXPECT_EQ(m.mini[3], RES_SUCCESS);
}

TEST_F(SimLink, WrongSpeedGetsNoAnswer) {
    SimOptions o = Fast();
    o.baud = 57600;
    StartLink(o, 9600);
    pm.SendConnect();
    pm.SendMiniConnect();
    // Wait until the module has seen (and discarded) both requests.
    ASSERT_TRUE(WaitFor([&] { return sim.Stats().discardedBytes >= 31; }, 3000));
    loop.RunPending();
    EXPECT_EQ(view.Count(WM_RX_CONNECT), 0u);
    EXPECT_EQ(view.Count(WM_RX_MINI_CONNECT), 0u);
    EXPECT_EQ(sim.Stats().answers, 0u);

    Reopen(57600);  // what the console's baud search does next
    pm.SendConnect();
    EXPECT_EQ(Next(WM_RX_CONNECT).Result(), OK);
}

TEST_F(SimLink, BaudChangeThenReconnect) {
    StartLink();
    pm.SendSetBaudRate(1);  // 57600
    EXPECT_EQ(Next(WM_RX_SET_BAUDRATE).Result(), OK) << "answered at the old speed";
    pm.SendConnect();
    ASSERT_TRUE(WaitFor([&] { return sim.Stats().discardedBytes >= 25; }, 3000)) << "old speed is now wrong";
    Reopen(57600);
    pm.SendConnect();
    EXPECT_EQ(Next(WM_RX_CONNECT).Result(), OK);

    pm.SendMiniSetBaudRate(4);  // 9600
    EXPECT_EQ(Next(WM_RX_MINI_SET_BAUDRATE).mini[3], RES_SUCCESS);
    Reopen(9600);
    pm.SendMiniConnect();
    EXPECT_EQ(Next(WM_RX_MINI_CONNECT).mini[3], RES_SUCCESS);
}

TEST_F(SimLink, TheTerminalSurvivesTheConsoleClosingItsPort) {
    StartLink();
    pm.SendConnect();
    Next(WM_RX_CONNECT);
    for (int i = 0; i < 3; ++i) {
        Reopen(115200);
        pm.SendGetVersionEx();
        EXPECT_EQ(Next(WM_RX_GET_VERSION_EX).Param2(), 0x0105u);
    }
}

TEST_F(SimLink, IdentityOfAnOldZelAndOfAQor) {
    SimOptions o = Fast();
    o.firmware = 0x0102;
    StartLink(o);
    pm.SendGetDeviceInfo();
    SViewMessage info = Next(WM_RX_GET_DEVICE_INFO);
    EXPECT_EQ(info.packet->m_ErrCode, ERR_UNKNOWN_COMMAND);
    pm.SendGetVersion();
    EXPECT_EQ(Next(WM_RX_GET_VERSION).packet->m_Param1, 0x0102u);
    EXPECT_TRUE(op.boxes.empty()) << "error code 5 is no checksum error";

    sim.Stop();
    pm.m_Comm.ClosePort();
    o.type = 2;
    o.firmware = 0x0210;
    StartLink(o);
    pm.SendGetDeviceInfo();
    SViewMessage qor = Next(WM_RX_GET_DEVICE_INFO);
    EXPECT_EQ(qor.Result(), OK);
    EXPECT_EQ(qor.Param2(), 2u);
    pm.SendGetVersionEx();
    EXPECT_EQ(Next(WM_RX_GET_VERSION_EX).Param2(), 0x0210u);
}

TEST_F(SimLink, MasterModeEntryBothCommandsAndMinimized) {
    SimOptions o = Fast();
    o.password = "pw";
    StartLink(o);
    pm.SendEnterMaster(3);
    SViewMessage open = Next(WM_RX_ENTER_MASTER);
    EXPECT_EQ(open.Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(open.Param2(), 3u) << "the console asks for credentials";
    pm.SendEnterMaster(2, "", "pw");
    SViewMessage pw = Next(WM_RX_ENTER_MASTER);
    EXPECT_EQ(pw.Result(), OK);
    EXPECT_EQ(pw.Param2(), 2u);
    pm.SendLeaveMaster();
    EXPECT_EQ(Next(WM_RX_LEAVE_MASTER).Result(), OK);
    pm.SendLeaveMaster();
    EXPECT_EQ(Next(WM_RX_LEAVE_MASTER).Result(), std::uint32_t(RES_NO_MASTER_MODE));

    pm.SendEnterMasterEx(2, "", "wrong");
    SViewMessage wrong = Next(WM_RX_ENTER_MASTER_EX);
    EXPECT_EQ(wrong.Result(), std::uint32_t(RES_FAIL));
    EXPECT_EQ(wrong.Param2(), 2u);

    pm.SendSetMasterPassword("x");
    EXPECT_EQ(Next(WM_RX_SET_MASTER_PASSWORD).Result(), std::uint32_t(RES_NO_MASTER_MODE));
    pm.SendEnterMasterEx(2, "", "pw");
    EXPECT_EQ(Next(WM_RX_ENTER_MASTER_EX).Result(), OK);
    pm.SendDeleteMasterPassword();
    EXPECT_EQ(Next(WM_RX_DELETE_MASTER_PASSWORD).Result(), OK);
    pm.SendMiniLeaveMaster();
    EXPECT_EQ(Next(WM_RX_MINI_LEAVE_MASTER).mini[3], RES_SUCCESS);
    pm.SendEnterMasterEx(3);
    SViewMessage fresh = Next(WM_RX_ENTER_MASTER_EX);
    EXPECT_EQ(fresh.Result(), OK);
    EXPECT_EQ(fresh.Param2(), 3u);
    pm.SendMiniEnterMaster();
    EXPECT_EQ(Next(WM_RX_MINI_ENTER_MASTER).mini[3], RES_SUCCESS);
}

TEST_F(SimLink, StatusCancelAndVoltage) {
    SimOptions o = Fast();
    o.finger = 0;
    StartLink(o);
    pm.SendStatus();
    EXPECT_EQ(Next(WM_RX_STATUS).Param2(), 0u);
    pm.SendIdentify();
    pm.SendStatus();
    EXPECT_EQ(Next(WM_RX_STATUS).Param2(), 1u);
    pm.SendCancel();
    EXPECT_EQ(Next(WM_RX_IDENTIFY).Result(), std::uint32_t(RES_CANCELED));
    EXPECT_EQ(Next(WM_RX_CANCEL).Result(), OK);
    pm.SendCancel();
    EXPECT_EQ(Next(WM_RX_CANCEL).Result(), std::uint32_t(RES_IDLE));

    pm.SendMiniIdentify();
    pm.SendMiniStatus();
    EXPECT_EQ(Next(WM_RX_MINI_STATUS).mini[3], 1);
    pm.SendMiniCancel();
    EXPECT_EQ(Next(WM_RX_MINI_IDENTIFY).mini[3], RES_CANCELED);
    EXPECT_EQ(Next(WM_RX_MINI_CANCEL).mini[3], RES_SUCCESS);
    pm.SendMiniCancel();
    EXPECT_EQ(Next(WM_RX_MINI_CANCEL).mini[3], RES_IDLE);
    pm.SendMiniStatus();
    EXPECT_EQ(Next(WM_RX_MINI_STATUS).mini[3], 0);

    pm.SendCheckVoltage();
    EXPECT_EQ(Next(WM_RX_CHECK_VOLTAGE).Param2(), 0u);
    sim.SetLowVoltage(true);
    pm.SendCheckVoltage();
    EXPECT_EQ(Next(WM_RX_CHECK_VOLTAGE).Param2(), 1u);
}

// ---- faults ----

TEST_F(SimLink, DroppedAnswerIsRecoveredByTheResendTimer) {
    StartLink();
    sim.RunLocked([](CSimModule& m) { m.DropNext(2); });
    std::uint64_t before = sim.Stats().answers;
    pm.SendCheckVoltage();
    ASSERT_TRUE(WaitAnswers(before, 1));
    loop.Advance(TIMEOUT_CHECK_VOLTAGE);  // re-sent once
    ASSERT_TRUE(WaitAnswers(before, 2));
    loop.Advance(TIMEOUT_CHECK_VOLTAGE);  // and once more
    SViewMessage a = Next(WM_RX_CHECK_VOLTAGE);
    EXPECT_EQ(a.Result(), OK);
    EXPECT_EQ(sim.Stats().dropped, 2u);
    EXPECT_EQ(sim.Stats().answers, before + 3);
    EXPECT_TRUE(op.boxes.empty());
}

TEST_F(SimLink, CorruptedAnswersAreReportedAsChecksumErrors) {
    StartLink();
    sim.RunLocked([](CSimModule& m) { m.CorruptNext(20); });
    for (int i = 0; i < 20; ++i) {
        if (i % 2)
            pm.SendMiniStatus();
        else
            pm.SendGetVersionEx();
        ASSERT_TRUE(WaitFor([&] { return view.Count(WM_CHECKSUM_ERROR) == std::size_t(i + 1); }, 3000)) << i;
    }
    EXPECT_EQ(view.Count(WM_RX_GET_VERSION_EX), 0u);
    EXPECT_EQ(view.Count(WM_RX_MINI_STATUS), 0u);
    pm.SendGetVersionEx();
    EXPECT_EQ(Next(WM_RX_GET_VERSION_EX).Result(), OK) << "the stream is in step again";
}

TEST_F(SimLink, SeededFaultsAreRepeatable) {
    auto run = [&](std::uint32_t seed) {
        SimOptions o = Fast();
        o.drop = 0.3;
        o.corrupt = 0.3;
        o.seed = seed;
        sim.Stop();
        pm.m_Comm.ClosePort();
        StartLink(o);
        std::vector<int> outcome;
        for (int i = 0; i < 20; ++i) {
            std::uint64_t before = sim.Stats().answers, dropped = sim.Stats().dropped;
            std::size_t ok = view.Count(WM_RX_STATUS), bad = view.Count(WM_CHECKSUM_ERROR);
            pm.SendStatus();
            EXPECT_TRUE(WaitAnswers(before, 1));
            if (sim.Stats().dropped > dropped) {
                outcome.push_back(0);
                continue;
            }
            EXPECT_TRUE(WaitFor(
                [&] { return view.Count(WM_RX_STATUS) > ok || view.Count(WM_CHECKSUM_ERROR) > bad; }, 3000));
            outcome.push_back(view.Count(WM_RX_STATUS) > ok ? 1 : 2);
        }
        return outcome;
    };
    std::vector<int> a = run(11), b = run(11);
    EXPECT_EQ(a, b);
    EXPECT_NE(std::count(a.begin(), a.end(), 0), 0) << "some dropped";
    EXPECT_NE(std::count(a.begin(), a.end(), 2), 0) << "some corrupted";
    EXPECT_NE(std::count(a.begin(), a.end(), 1), 0) << "some fine";
}

}  // namespace
