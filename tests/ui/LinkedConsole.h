#pragma once
// The whole console connected over a raw pseudo-terminal to a module the test
// plays frame by frame: the device information and the version answered, the
// prompt closed.
#include "tests/ui/ConsoleFixture.h"

namespace console_test {

// A console whose COM1 leads to a raw pseudo-terminal, connected to a module
// the test plays: device information and version answered.
struct CLinkedConsole {
    CRawPty pty;
    CConsole console;
    CTempDir files;
    void Start(int board) {
        ASSERT_TRUE(pty.IsOpen());
        console.WriteSettings("[Option]\nType=" + std::to_string(board) + "\nCOM Port=1\nBaudrate=115200\n");
        console.MapPort(1, pty.SlavePath());
        ASSERT_TRUE(console.Start());
        ASSERT_TRUE(console.Click(IDC_CONNECT));
        ASSERT_EQ(pty.Next(), CMD_CONNECT);
        pty.Answer(CMD_CONNECT, RES_SUCCESS, 5);
        ASSERT_TRUE(console.WaitFor([&] { return console.View().State().m_bConnected; }));
        ASSERT_EQ(pty.Next(), CMD_GET_DEVICE_INFO);
        pty.Answer(CMD_GET_DEVICE_INFO, RES_SUCCESS, static_cast<std::uint32_t>(board));
        ASSERT_TRUE(console.WaitFor([&] { return !console.loop.IsTimerRunning(&console.View().Connection(), CONNECT_TIMER_ID); }));
        const std::uint32_t version = board == BOARD_ZEL12 ? CMD_GET_VERSION : CMD_GET_VERSION_EX;
        ASSERT_EQ(pty.Next(), version);
        pty.Answer(version, board == BOARD_ZEL12 ? 0x105 : RES_SUCCESS, 0x105);
        ASSERT_TRUE(console.WaitFor([&] { return console.View().State().m_nFirmwareLevel != 0; }));
        console.ClosePrompt();
    }
    // Chooses Tools > Upgrade Firmware with a file of these bytes.
    std::string Choose(const std::string& bytes, const std::string& name = "fw.bin") {
        const std::string path = files.File(name);
        WriteFile(path, bytes);
        console.op.fileAnswers.push_back(path);
        EXPECT_TRUE(console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
        return path;
    }
    // Delivers the module's answer and waits until the console has handled it.
    void Answer(std::uint32_t command, std::uint32_t p1, std::uint32_t p2, std::uint32_t err = 0) {
        pty.Answer(command, p1, p2, err);
        console.WaitFor([&] { return false; }, 150);
    }
    bool Quiet(int ms = 150) { return pty.Read(1, ms).empty(); }
};


}  // namespace console_test
