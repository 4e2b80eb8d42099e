// Firmware upgrade: HEX and BIN images received byte for byte by the simulated
// module, the progress window and its guarded CANCEL, re-sends on the virtual
// clock, refusals before anything is sent, and every way an upgrade ends.
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QPushButton>

#include "console/ServiceFlow.h"
#include "console/UpgradeFlow.h"
#include "sim/SimPty.h"
#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/LinkedConsole.h"
#include "widgets/GradientProgressCtrl.h"
#include "widgets/WindowUtil.h"

using namespace console_test;

namespace {

const char* const kQuestion = "Do you really want to quit upgrade process?\nThis would cause a illegal operation.";
const char* const kGaveUp = "Upgrade process was canceled! (COMMUNICATOIN ERROR)";

std::string Bytes(std::size_t size, int seed = 7) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + seed * (i >> 11) + 3) & 0xFF);
    return s;
}

// One Intel HEX record with its checksum.
std::string HexRecordLine(int type, int address, const std::string& data) {
    int sum = static_cast<int>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = QString::asprintf(":%02X%04X%02X", static_cast<int>(data.size()), address, type).toStdString();
    for (unsigned char c : data) {
        line += QString::asprintf("%02X", c).toStdString();
        sum += c;
    }
    return line + QString::asprintf("%02X", (0x100 - (sum & 0xFF)) & 0xFF).toStdString();
}

// 0x0800 upper address, three data records, a start address, end of file; CR LF.
std::string HexImage(const std::string& data) {
    std::string text = HexRecordLine(4, 0, std::string("\x08\x00", 2)) + "\r\n";
    for (std::size_t at = 0; at < data.size(); at += 16) {
        text += HexRecordLine(0, static_cast<int>(at), data.substr(at, 16)) + "\r\n";
    }
    text += HexRecordLine(5, 0, std::string("\x08\x00\x01\x00", 4)) + "\r\n";
    return text + HexRecordLine(1, 0, "") + "\r\n";
}

QStringList LabelTexts(const QWidget* window) {
    QStringList texts;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->text().isEmpty()) texts << label->text();
    }
    return texts;
}

CServiceFlow& ServiceFlowOf(CConsole& console) {
    return static_cast<CServiceFlow&>(*console.View().Flow(FLOW_SERVICE));
}

CUpgradeFlow& Upgrade(CConsole& console) {
    return static_cast<CUpgradeFlow&>(*console.View().Flow(FLOW_UPGRADE));
}
CGradientProgressCtrl* Bar(CConsole& console) { return Upgrade(console).ProgDlg().Progress(); }

}  // namespace

// ------------------------------------------------------ against the module

TEST(Upgrade, AHexImageReachesTheSimulatedZel12ByteForByte) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    CTempDir dir;
    const std::string data = Bytes(56);
    const std::string path = dir.File("fw.hex");
    WriteFile(path, HexImage(data));  // 1 + 4 + 1 + 1 = 7 records
    console.op.fileAnswers.push_back(path);
    ASSERT_TRUE(console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
    ASSERT_EQ(console.op.fileQuestions.size(), 1u);
    EXPECT_EQ(console.op.fileQuestions[0].filter, "INTEL HEX files(*.hex)|*.hex|All files|*.*|");
    EXPECT_EQ(console.op.fileQuestions[0].defExt, "*.HEX");
    ASSERT_TRUE(Upgrade(console).ProgDlg().IsOpen());
    QDialog* window = Upgrade(console).ProgDlg().Window();
    EXPECT_EQ(window->windowTitle(), "Upgrading...");
    EXPECT_EQ(LabelTexts(window), QStringList{"WARNING: DON'T STOP THIS PROCESS"});
    EXPECT_EQ(GetDlgItemText(window, IDCANCEL), "CANCEL");
    EXPECT_TRUE(Bar(console)->IsPercentShown());
    EXPECT_EQ(Bar(console)->StartColor(), QColor(0, 0, 255));
    EXPECT_EQ(Bar(console)->EndColor(), QColor(0, 0, 0));
    EXPECT_EQ(Bar(console)->TextColor(), QColor(100, 100, 100));
    EXPECT_EQ(Bar(console)->BkColor(), QColor(255, 255, 255));
    EXPECT_EQ(Bar(console)->Upper(), 7);
    EXPECT_EQ(Bar(console)->Pos(), 1);
    EXPECT_FALSE(console.View().isEnabled());
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "Upgrading complete."; }));
    EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
    EXPECT_FALSE(Upgrade(console).ProgDlg().IsOpen());
    EXPECT_FALSE(Upgrade(console).IsRunning());
    console.App().Simulator()->RunLocked([&](CSimModule& module) {
        const auto image = module.FirmwareReceiver().HexImage();
        ASSERT_EQ(image.size(), 1u);
        EXPECT_EQ(image.begin()->first, 0x08000000u);
        EXPECT_EQ(std::string(image.begin()->second.begin(), image.begin()->second.end()), data);
        EXPECT_TRUE(module.FirmwareReceiver().HexComplete());
    });
    console.ClosePrompt();
    EXPECT_TRUE(console.View().isEnabled());
}

TEST(Upgrade, BinImagesOfWholeAndPartChunksReachTheSimulatedModuleByteForByte) {
    const struct { std::size_t size; int last; } cases[] = {{2048, 0}, {4096, 1}, {3 * 2048, 2}, {2049, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, BOARD_PELL));
        CTempDir dir;
        const std::string data = Bytes(c.size, static_cast<int>(c.size));
        WriteFile(dir.File("fw.bin"), data);
        console.op.fileAnswers.push_back(dir.File("fw.bin"));
        ASSERT_TRUE(console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
        EXPECT_EQ(console.op.fileQuestions.at(0).filter, "Binary files(*.bin)|*.bin|All files|*.*|");
        EXPECT_EQ(console.op.fileQuestions.at(0).defExt, "*.BIN");
        ASSERT_NE(Bar(console), nullptr);
        EXPECT_EQ(Bar(console)->Upper(), c.last);
        ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "F/W upgrade is complete."; }));
        EXPECT_FALSE(Upgrade(console).ProgDlg().IsOpen());
        console.App().Simulator()->RunLocked([&](CSimModule& module) {
            const auto& image = module.FirmwareReceiver().BinImage();
            EXPECT_EQ(std::string(image.begin(), image.end()), data);
            EXPECT_TRUE(module.FirmwareReceiver().BinComplete());
        });
    }
}

TEST(Upgrade, ADroppedAnswerIsRecoveredByTheResendTimerOnTheVirtualClock) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CConsole console;
        ASSERT_TRUE(StartConnected(console, board));
        CSimPty& sim = *console.App().Simulator();
        sim.RunLocked([](CSimModule& module) { module.DropNext(1); });
        CTempDir dir;
        const std::string data = Bytes(board == BOARD_ZEL12 ? 32 : 5000);
        const std::string path = dir.File("fw");
        WriteFile(path, board == BOARD_ZEL12 ? HexImage(data) : data);
        console.op.fileAnswers.push_back(path);
        ASSERT_TRUE(console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
        ASSERT_TRUE(console.WaitFor([&] { return sim.Stats().dropped == 1; }));
        console.WaitFor([] { return false; }, 100);
        EXPECT_TRUE(console.Prompt().isEmpty());  // stalled until the timer fires
        console.loop.Advance(TIMEOUT_UPGRADE);
        ASSERT_TRUE(console.WaitFor([&] { return !console.Prompt().isEmpty(); }));
        EXPECT_EQ(console.Prompt(), board == BOARD_ZEL12 ? "Upgrading complete." : "F/W upgrade is complete.");
        EXPECT_TRUE(console.op.boxes.empty());
        sim.RunLocked([&](CSimModule& module) {
            if (board == BOARD_ZEL12) {
                EXPECT_TRUE(module.FirmwareReceiver().HexComplete());
            } else {
                const auto& image = module.FirmwareReceiver().BinImage();
                EXPECT_EQ(std::string(image.begin(), image.end()), data);
            }
        });
    }
}

// ------------------------------------------------ against a scripted module

TEST(Upgrade, TenTimeOutsEndTheUpgradeAndCloseTheProgressWindow) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CLinkedConsole t;
        t.Start(board);
        const std::uint32_t command = board == BOARD_ZEL12 ? CMD_UPGRADE_HEX : CMD_UPGRADE_BIN;
        t.Choose(board == BOARD_ZEL12 ? HexImage(Bytes(16)) : Bytes(3000));
        for (int send = 1; send <= MAX_SENDS; ++send) {
            ASSERT_EQ(t.pty.Next(), command) << "send " << send;
            ASSERT_TRUE(Upgrade(t.console).ProgDlg().IsOpen());
            t.console.loop.Advance(TIMEOUT_UPGRADE);
        }
        EXPECT_TRUE(t.Quiet());
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        ASSERT_EQ(t.console.op.boxes.size(), 1u);
        EXPECT_EQ(t.console.op.boxes[0].text, kGaveUp);
        EXPECT_TRUE(t.console.View().isEnabled());
        // A late answer asks nothing and sends nothing.
        t.Answer(command, RES_SUCCESS, 0);
        EXPECT_TRUE(t.Quiet());
        EXPECT_EQ(t.console.op.boxes.size(), 1u);
    }
}

TEST(Upgrade, CancelInTheProgressWindowAsksOnTheNextAnswer) {
    for (int yes : {1, 0}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        CLinkedConsole t;
        t.Start(BOARD_PELL);
        t.Choose(Bytes(3 * 2048));
        std::uint32_t param2 = 0;
        ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
        EXPECT_EQ(param2, 0u * 256 + 2);
        QDialog* window = Upgrade(t.console).ProgDlg().Window();
        ASSERT_TRUE(ClickDlgItem(window, IDCANCEL));
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_TRUE(t.console.View().isEnabled());
        EXPECT_TRUE(t.Quiet());  // nothing goes to the module
        EXPECT_TRUE(t.console.op.boxes.empty());

        t.console.op.boxAnswers.push_back(yes ? IDYES : IDNO);
        t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 0 * 256 + 2);
        ASSERT_EQ(t.console.op.boxes.size(), 1u);
        EXPECT_EQ(t.console.op.boxes[0].text, kQuestion);
        EXPECT_EQ(t.console.op.boxes[0].flags, MB_YESNO | MB_ICONEXCLAMATION);
        if (yes) {
            EXPECT_TRUE(t.Quiet());
            EXPECT_FALSE(Upgrade(t.console).IsRunning());
            EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
            t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 1 * 256 + 2);  // asks nothing more
            EXPECT_EQ(t.console.op.boxes.size(), 1u);
            EXPECT_TRUE(t.Quiet());
        } else {
            // Reopened with its opening settings (0 to 100, the bar's own
            // step of 10), then stepped by this answer.
            ASSERT_NE(Bar(t.console), nullptr);
            EXPECT_EQ(Bar(t.console)->Upper(), 100);
            EXPECT_EQ(Bar(t.console)->Step(), 10);
            EXPECT_EQ(Bar(t.console)->Pos(), 10);
            ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
            EXPECT_EQ(param2, 1u * 256 + 2);
            t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 1 * 256 + 2);
            ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
            EXPECT_EQ(param2, 2u * 256 + 2);
            t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 2 * 256 + 2);
            EXPECT_EQ(t.console.Prompt(), "F/W upgrade is complete.");
            EXPECT_EQ(t.console.op.boxes.size(), 1u);
        }
    }
}

TEST(Upgrade, HexAnswersStepSendTheAskedRecordAndResendOnAnErrorCode) {
    CLinkedConsole t;
    t.Start(BOARD_ZEL12);
    t.console.View().SetStatusText("before");
    t.Choose(HexImage(Bytes(32)), "fw.hex");  // 5 records
    std::uint32_t record = 99;
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    EXPECT_EQ(record, 0u);
    EXPECT_EQ(Bar(t.console)->Pos(), 1);
    t.Answer(CMD_UPGRADE_HEX, 0, 1);
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    EXPECT_EQ(record, 1u);
    EXPECT_EQ(Bar(t.console)->Pos(), 2);
    t.Answer(CMD_UPGRADE_HEX, 0, 2, 1);  // taken with an error: the same record again
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    EXPECT_EQ(record, 1u);
    EXPECT_EQ(Bar(t.console)->Pos(), 2);
    t.Answer(CMD_UPGRADE_HEX, 0, 2);
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    EXPECT_EQ(record, 2u);
    EXPECT_EQ(Bar(t.console)->Pos(), 3);
    t.Answer(CMD_UPGRADE_HEX, 0, 3);
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    t.Answer(CMD_UPGRADE_HEX, 0, 4);
    ASSERT_EQ(t.pty.Next(&record), CMD_UPGRADE_HEX);
    EXPECT_EQ(record, 4u) << "the end-of-file record";
    t.Answer(CMD_UPGRADE_HEX, RES_SUCCESS, 0);
    EXPECT_EQ(t.console.Prompt(), "Upgrading complete.");
    EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
    EXPECT_EQ(t.console.Text(IDC_STATUS_LINE), "before");  // the upgrade leaves the status line alone
    EXPECT_TRUE(t.Quiet());
}

// A record the module refuses (RES_FAIL, RES_INVALID_PARAM, RES_CANCELED):
// nothing more would ever come, so the upgrade ends with a message naming
// the record and the result, the window closes and the form comes back.
TEST(Upgrade, ARefusedHexRecordEndsTheUpgradeNamingTheRecordAndTheResult) {
    const struct { std::int32_t result; const char* name; } cases[] = {
        {RES_FAIL, "2 (FAIL)"}, {RES_INVALID_PARAM, "9 (INVALID_PARAM)"}, {RES_CANCELED, "13 (CANCELED)"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLinkedConsole t;
        t.Start(BOARD_ZEL12);
        t.Choose(HexImage(Bytes(32)), "fw.hex");
        ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_HEX);
        t.Answer(CMD_UPGRADE_HEX, 0, 1);
        ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_HEX);
        t.Answer(CMD_UPGRADE_HEX, static_cast<std::uint32_t>(c.result), 1);
        EXPECT_EQ(t.console.Prompt().toStdString(),
                  std::string("F/W upgrade stopped: the module answered record 1 with result ") + c.name + ".");
        EXPECT_EQ(t.console.PromptForm(), MSGFORM_WARNING);
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        EXPECT_FALSE(t.console.View().Client().IsClaimed());
        t.console.ClosePrompt();
        EXPECT_TRUE(t.console.View().isEnabled());
        t.console.loop.Advance(10 * TIMEOUT_UPGRADE);
        EXPECT_TRUE(t.Quiet());
    }
}

// A piece the module refuses for its checksum is sent again, counted with
// its other sends: at most ten sends in all, then the upgrade ends with its
// communication-error message (over an adapter that corrupts every long
// frame it used to go on for ever).
TEST(Upgrade, ChecksumRefusalsOfAPieceEndTheUpgradeAfterTenSends) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CLinkedConsole t;
        t.Start(board);
        const std::uint32_t command = board == BOARD_ZEL12 ? CMD_UPGRADE_HEX : CMD_UPGRADE_BIN;
        t.Choose(board == BOARD_ZEL12 ? HexImage(Bytes(16)) : Bytes(3000));
        for (int send = 1; send <= MAX_SENDS; ++send) {
            ASSERT_EQ(t.pty.Next(), command) << "send " << send;
            t.Answer(command, RES_SUCCESS, 0, ERR_CHECKSUM);
        }
        EXPECT_TRUE(t.Quiet());
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        ASSERT_EQ(t.console.op.boxes.size(), 1u);
        EXPECT_EQ(t.console.op.boxes[0].text, kGaveUp);
        EXPECT_TRUE(t.console.View().isEnabled());
    }
}

// While the upgrade owns the link, what would start another exchange is
// refused with a status-line message: the voltage check, the battery life
// test, and the port and rate changes of File > Serial Comm.
TEST(Upgrade, OtherExchangesAreRefusedWhileTheUpgradeRuns) {
    CLinkedConsole t;
    t.Start(BOARD_ZEL12);
    t.Choose(HexImage(Bytes(16)), "fw.hex");
    ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_HEX);
    const QString busy = "The module is busy with the firmware upgrade: try again when it has ended.";
    for (int command : {ID_TOOLS_CHECK_VOLTAGE, ID_TOOLS_BATTERY_TEST, ID_FILE_SERIAL_COMM}) {
        SCOPED_TRACE(command);
        t.console.View().SetStatusText("before");
        ASSERT_TRUE(t.console.Choose(command));
        EXPECT_EQ(t.console.Text(IDC_STATUS_LINE), busy);
        EXPECT_TRUE(t.Quiet());
    }
    EXPECT_TRUE(t.console.op.dialogTitles.isEmpty()) << "no Serial Communication dialog";
    EXPECT_FALSE(ServiceFlowOf(t.console).BatteryDlg().IsOpen());
    // The upgrade goes on as if nothing had been pressed.
    t.Answer(CMD_UPGRADE_HEX, 0, 1);
    EXPECT_EQ(t.pty.Next(), CMD_UPGRADE_HEX);
    EXPECT_TRUE(Upgrade(t.console).ProgDlg().IsOpen());
}

// Closing the link during an upgrade ends it at once: the window closes,
// nothing is re-sent, and no box comes later.
TEST(Upgrade, DisconnectEndsTheUpgradeAtOnceWithoutALateBox) {
    CLinkedConsole t;
    t.Start(BOARD_PELL);
    t.Choose(Bytes(5000));
    ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_BIN);
    ASSERT_TRUE(ClickDlgItem(Upgrade(t.console).ProgDlg().Window(), IDCANCEL));  // the form back
    ASSERT_TRUE(t.console.Click(IDC_CONNECT));  // DISCONNECT
    EXPECT_FALSE(Upgrade(t.console).IsRunning());
    EXPECT_FALSE(t.console.View().Client().IsClaimed());
    t.console.loop.Advance(20 * 60 * 1000);
    t.console.loop.RunPending();
    EXPECT_TRUE(t.console.op.boxes.empty());
    EXPECT_TRUE(t.Quiet());
}

TEST(Upgrade, BinAnswersEndWithTheirTextsAndAStaleAcknowledgementIsIgnored) {
    const struct { std::uint32_t result; const char* prompt; int form; } cases[] = {
        {RES_INVALID_PARAM, "Invalid parameter!!!", MSGFORM_WARNING},
        {RES_CANCELED, "F/W upgrade is canceled.", MSGFORM_WARNING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prompt);
        CLinkedConsole t;
        t.Start(BOARD_QOR10_HV);
        t.Choose(Bytes(3 * 2048));
        ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_BIN);
        t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 0 * 256 + 2);
        std::uint32_t param2 = 0;
        ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
        EXPECT_EQ(param2 >> 8, 1u);
        t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 0 * 256 + 2);  // chunk 0 again: late, ignored
        EXPECT_TRUE(t.Quiet());
        EXPECT_EQ(Bar(t.console)->Pos(), 2);
        t.Answer(CMD_UPGRADE_BIN, c.result, 1 * 256 + 2);
        EXPECT_EQ(t.console.Prompt(), c.prompt);
        EXPECT_EQ(t.console.PromptForm(), c.form);
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        EXPECT_TRUE(t.Quiet());
    }
}

TEST(Upgrade, AChunkTheModuleKeepsRefusingIsSentTenTimesThenTheUpgradeStops) {
    CLinkedConsole t;
    t.Start(BOARD_PELL);
    t.Choose(Bytes(4096));
    ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_BIN);
    for (int send = 2; send <= FW_MAX_SENDS; ++send) {
        t.Answer(CMD_UPGRADE_BIN, RES_FAIL, 0 * 256 + 1);
        std::uint32_t param2 = 9;
        ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN) << "send " << send;
        EXPECT_EQ(param2, 0u * 256 + 1);
    }
    t.Answer(CMD_UPGRADE_BIN, RES_FAIL, 0 * 256 + 1);
    EXPECT_TRUE(t.Quiet());
    EXPECT_EQ(t.console.Prompt(), "F/W upgrade stopped: the module refused chunk 0 10 times.");
    EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
}

TEST(Upgrade, AFileThatBreaksPartWayEndsTheUpgradeWithAClearMessage) {
    for (int board : {BOARD_ZEL12, BOARD_PELL}) {
        SCOPED_TRACE(board);
        CLinkedConsole t;
        t.Start(board);
        const std::string path = t.Choose(board == BOARD_ZEL12 ? HexImage(Bytes(48)) : Bytes(3 * 2048));
        ASSERT_NE(t.pty.Next(), 0u);
        WriteFile(path, board == BOARD_ZEL12 ? HexRecordLine(4, 0, std::string("\x08\x00", 2)) : Bytes(100));
        if (board == BOARD_ZEL12) {
            t.Answer(CMD_UPGRADE_HEX, 0, 1);
            EXPECT_EQ(t.console.Prompt().toStdString(),
                      "F/W upgrade stopped: the firmware file '" + path + "' could not be read at record 1.");
        } else {
            t.Answer(CMD_UPGRADE_BIN, RES_SUCCESS, 0 * 256 + 2);
            EXPECT_EQ(t.console.Prompt().toStdString(),
                      "F/W upgrade stopped: the firmware file '" + path + "' could not be read at chunk 1.");
        }
        EXPECT_EQ(t.console.PromptForm(), MSGFORM_WARNING);
        EXPECT_TRUE(t.Quiet());
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
    }
}

TEST(Upgrade, BrokenFilesAreRefusedBeforeAnythingIsSent) {
    const std::string good = HexRecordLine(0, 0, "abcd");
    const struct { const char* name; int board; std::string bytes; const char* why; } cases[] = {
        {"missing", BOARD_PELL, "", "Cannot open the firmware file '"},
        {"folder", BOARD_PELL, "", "': it is a folder."},
        {"empty BIN", BOARD_PELL, "", "' is empty."},
        {"BIN one byte too large", BOARD_QOR10_LV, Bytes(524289), "' is too large: 524289 bytes (at most 524288, 256 chunks of 2048)."},
        {"HEX letter in a record", BOARD_ZEL12, ":02000000ZZ11ED\n" + HexRecordLine(1, 0, ""), "record 1, line 1: not hexadecimal or cut short"},
        {"HEX bad checksum", BOARD_ZEL12, good + "\n:0400000061626364FF\n" + HexRecordLine(1, 0, ""), "record 2, line 2: checksum does not match"},
        {"HEX cut short", BOARD_ZEL12, good + "\n:0400000061", "record 2, line 2: not hexadecimal or cut short"},
        {"HEX text between records", BOARD_ZEL12, good + "\nhello\n" + HexRecordLine(1, 0, ""), "record 2, line 2: text outside a record"},
        {"HEX without end", BOARD_ZEL12, good + "\n", "' has no end-of-file record."},
        {"HEX without records", BOARD_ZEL12, "\r\n", "' holds no Intel HEX records."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CLinkedConsole t;
        t.Start(c.board);
        if (std::string(c.name) == "missing" || std::string(c.name) == "folder") {
            t.console.op.fileAnswers.push_back(std::string(c.name) == "folder" ? t.files.Path()
                                                                                : t.files.File("nothing-here.bin"));
            ASSERT_TRUE(t.console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
        } else {
            t.Choose(c.bytes);
        }
        EXPECT_TRUE(t.console.Prompt().contains(c.why)) << t.console.Prompt().toStdString();
        EXPECT_EQ(t.console.PromptForm(), MSGFORM_WARNING);
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        EXPECT_TRUE(t.Quiet());
    }
}

// The chosen file is read only when it is a regular file, and its size is
// judged from its metadata: an endless device, a named pipe with no writer
// and an eight-gigabyte HEX file (sparse, made by truncate) are refused at
// once, before anything is sent.
TEST(Upgrade, OnlyARegularFileOfAPlausibleSizeIsRead) {
    const struct { const char* name; int board; const char* why; } cases[] = {
        {"/dev/zero", BOARD_ZEL12, "Cannot open the firmware file '/dev/zero': it is a device."},
        {"/dev/zero", BOARD_PELL, "Cannot open the firmware file '/dev/zero': it is a device."},
        {"pipe.hex", BOARD_ZEL12, "': it is a named pipe."},
        {"pipe.bin", BOARD_QOR10_HV, "': it is a named pipe."},
        {"huge.hex", BOARD_ZEL12, "' is too large: 8589934592 bytes (an Intel HEX image has at most 16777216)."},
        {"huge.bin", BOARD_PELL, "' is too large: 8589934592 bytes (at most 524288, 256 chunks of 2048)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.board));
        CLinkedConsole t;
        t.Start(c.board);
        std::string path = c.name;
        if (path[0] != '/') {
            path = t.files.File(c.name);
            if (path.find("pipe") != std::string::npos) {
                ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
            } else {
                WriteFile(path, "");
                ASSERT_EQ(truncate(path.c_str(), 8ll << 30), 0);
            }
        }
        t.console.op.fileAnswers.push_back(path);
        ASSERT_TRUE(t.console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
        EXPECT_TRUE(t.console.Prompt().endsWith(c.why)) << t.console.Prompt().toStdString();
        EXPECT_EQ(t.console.PromptForm(), MSGFORM_WARNING);
        EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
        EXPECT_FALSE(Upgrade(t.console).IsRunning());
        EXPECT_TRUE(t.Quiet());
    }
}

TEST(Upgrade, TheLargestBinThatChunkNumbersCanAddressIsTaken) {
    CLinkedConsole t;
    t.Start(BOARD_PELL);
    t.Choose(Bytes(524288));
    std::uint32_t param2 = 0;
    ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
    EXPECT_EQ(param2, 255u);
    EXPECT_EQ(Bar(t.console)->Upper(), 255);
}

TEST(Upgrade, ALostPortOrASecondChoiceLeavesNoUpgradeHalfDone) {
    CLinkedConsole t;
    t.Start(BOARD_PELL);
    t.Choose(Bytes(5000));
    ASSERT_EQ(t.pty.Next(), CMD_UPGRADE_BIN);
    // The menu bar stays usable: a second upgrade is refused while one runs.
    t.console.op.fileAnswers.push_back(t.files.File("fw.bin"));
    ASSERT_TRUE(t.console.Choose(ID_TOOLS_UPGRADE_FIRMWARE));
    EXPECT_EQ(t.console.Prompt(), "A firmware upgrade is already running.");
    EXPECT_EQ(t.console.op.fileQuestions.size(), 1u);
    EXPECT_TRUE(t.Quiet());
    t.console.ClosePrompt();
    // With its window closed (the module stopped answering), a new upgrade
    // replaces it.
    t.console.op.fileAnswers.clear();  // the refused choice asked for no file
    ASSERT_TRUE(ClickDlgItem(Upgrade(t.console).ProgDlg().Window(), IDCANCEL));
    t.Choose(Bytes(3000), "other.bin");
    std::uint32_t param2 = 9;
    ASSERT_EQ(t.pty.Next(&param2), CMD_UPGRADE_BIN);
    EXPECT_EQ(param2, 0u * 256 + 1);
    EXPECT_TRUE(Upgrade(t.console).ProgDlg().IsOpen());
    EXPECT_EQ(Upgrade(t.console).Session().FileName(), t.files.File("other.bin"));
    t.console.LosePort();
    EXPECT_EQ(t.console.Prompt(), "Serial port 'COM1' was lost.");
    EXPECT_FALSE(Upgrade(t.console).ProgDlg().IsOpen());
    EXPECT_FALSE(Upgrade(t.console).IsRunning());
    EXPECT_EQ(OwnerDisableCount(&t.console.View()), 1);  // only the lost-port prompt
}
