// The user data window: the form's checks field by field, the write size,
// upper case, READ / WRITE / ERASE with their requests and answers, against
// the simulated module over a pseudo-terminal, and a window closed while a
// read is under way.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>

#include "tests/ui/ToolWindowTest.h"
#include "tools/FieldCheck.h"
#include "tools/LogDataFlow.h"
#include "tools/UserDataFlow.h"

using namespace console_test;

namespace {

CUserDataFlow& UserFlow(CConsole& console) {
    return static_cast<CUserDataFlow&>(*console.View().Flow(FLOW_USER_DATA));
}

// The console with the user data window open (not connected).
QDialog* OpenWindow(CConsole& console) {
    console.View().OnCommand(ID_VIEW_USER_DATA, BN_CLICKED);
    return UserFlow(console).Dialog().Window();
}

std::vector<std::string> BoxTexts(CConsole& console) {
    std::vector<std::string> texts;
    for (const auto& box : console.op.boxes) texts.push_back(box.text);
    return texts;
}

// The last General request the console wrote since StartOnLine (command 0
// when none).
std::unique_ptr<CPacket> g_Sent;
const CPacket& Sent(CConsole&) { return *g_Sent; }

// The console on a raw line without a module; what it writes is kept.
bool StartOnLine(CConsole& console) {
    if (!console.Start() || !console.OpenRawLine()) return false;
    g_Sent = std::make_unique<CPacket>();
    console.View().Client().Channel().m_WriteTap = [](const std::uint8_t* bytes, std::size_t n) {
        if (n < PACKET_HEADER_SIZE || bytes[0] != PACKET_START) return;
        CPacket& p = *g_Sent;
        p.m_Command = GetBE32(bytes + 1);
        p.m_Param1 = GetBE32(bytes + 5);
        p.m_Param2 = GetBE32(bytes + 9);
        p.m_DataSize = GetBE32(bytes + 13);
        if (p.m_DataSize && n >= PACKET_HEADER_SIZE + p.m_DataSize) std::memcpy(p.m_Data, bytes + 25, p.m_DataSize);
    };
    return true;
}

}  // namespace

TEST(FieldCheck, WholeNumbersRangesAndLengthsGiveTheirMessages) {
    const struct {
        const char* text;
        bool integer;
        int value;
    } numbers[] = {
        {"0", true, 0}, {"8191", true, 8191}, {" 42 ", true, 42}, {"+7", true, 7}, {"-3", true, -3},
        {"", false, 0}, {" ", false, 0}, {"-", false, 0}, {"1 2", false, 0}, {"12a", false, 0},
        {"0x10", false, 0}, {"99999999999", false, 0}, {"1.5", false, 0},
    };
    for (const auto& n : numbers) {
        SCOPED_TRACE(n.text);
        int value = -99;
        EXPECT_EQ(ParseFieldInteger(QString(n.text), value), n.integer);
        EXPECT_EQ(value, n.integer ? n.value : -99);
    }
    int value = 5;
    EXPECT_EQ(CheckIntegerField(QString("x"), 0, 10, value), FIELD_NOT_INTEGER);
    EXPECT_EQ(value, 5);  // kept
    EXPECT_EQ(CheckIntegerField(QString("11"), 0, 10, value), FIELD_OUT_OF_RANGE);
    EXPECT_EQ(value, 11);  // taken as typed
    EXPECT_EQ(CheckIntegerField(QString("10"), 0, 10, value), FIELD_OK);
    QString text = "old";
    EXPECT_EQ(CheckTextField(QString(257, 'A'), 256, text), FIELD_TOO_LONG);
    EXPECT_EQ(text, "old");
    EXPECT_EQ(CheckTextField(QString(256, 'A'), 256, text), FIELD_OK);
    EXPECT_EQ(text.size(), 256);
    EXPECT_EQ(FieldCheckMessage(FIELD_NOT_INTEGER, 0, 1), "Please enter an integer.");
    EXPECT_EQ(FieldCheckMessage(FIELD_OUT_OF_RANGE, 0, 8191), "Please enter an integer between 0 and 8191.");
    EXPECT_EQ(FieldCheckMessage(FIELD_TOO_LONG, 0, 256), "Please enter no more than 256 characters.");
    EXPECT_EQ(FieldCheckMessage(FIELD_OK, 0, 1), "");
}

TEST(UserDataForm, OpensEmptyAndChecksEachNumberFieldAsItChanges) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "User Data");
    CUserDataDlg& dlg = UserFlow(console).Dialog();
    for (int id : {IDC_UD_READ_ADDRESS, IDC_UD_WRITE_ADDRESS, IDC_UD_READ_SIZE, IDC_UD_WRITE_SIZE}) {
        EXPECT_EQ(GetDlgItemText(window, id), "0");
    }
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_DATA), "");
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "");
    EXPECT_EQ(Sent(console).m_Command, 0u);  // opening sends nothing
    EXPECT_TRUE(console.op.boxes.empty());

    const struct {
        int id;
        const char* text;
        const char* message;  // nullptr: none
        int CUserDataDlg::*member;
        int value;  // the member afterwards
    } cases[] = {
        {IDC_UD_READ_ADDRESS, "8191", nullptr, &CUserDataDlg::m_nReadAddress, 8191},
        {IDC_UD_READ_ADDRESS, "8192", "Please enter an integer between 0 and 8191.", &CUserDataDlg::m_nReadAddress,
         8192},
        {IDC_UD_READ_ADDRESS, "", "Please enter an integer.", &CUserDataDlg::m_nReadAddress, 8192},
        {IDC_UD_READ_ADDRESS, "10", nullptr, &CUserDataDlg::m_nReadAddress, 10},
        {IDC_UD_READ_SIZE, "8192", nullptr, &CUserDataDlg::m_nReadSize, 8192},
        {IDC_UD_READ_SIZE, "8193", "Please enter an integer between 0 and 8192.", &CUserDataDlg::m_nReadSize, 8193},
        {IDC_UD_READ_SIZE, "-1", "Please enter an integer between 0 and 8192.", &CUserDataDlg::m_nReadSize, -1},
        {IDC_UD_READ_SIZE, "abc", "Please enter an integer.", &CUserDataDlg::m_nReadSize, -1},
        {IDC_UD_READ_SIZE, "16", nullptr, &CUserDataDlg::m_nReadSize, 16},
        {IDC_UD_WRITE_ADDRESS, "9000", "Please enter an integer between 0 and 8191.", &CUserDataDlg::m_nWriteAddress,
         9000},
        {IDC_UD_WRITE_ADDRESS, "100", nullptr, &CUserDataDlg::m_nWriteAddress, 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " '" << c.text << "'");
        console.op.boxes.clear();
        SetDlgItemText(window, c.id, c.text);
        if (c.message) {
            EXPECT_EQ(BoxTexts(console), std::vector<std::string>{c.message});
            EXPECT_EQ(console.op.boxes[0].flags, MB_OK | MB_ICONEXCLAMATION);
        } else {
            EXPECT_TRUE(console.op.boxes.empty());
        }
        EXPECT_EQ(dlg.*c.member, c.value);
    }
}

TEST(UserDataForm, ReadingStopsAtTheFirstFieldThatDoesNotFitInTheFormsOrder) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    CUserDataDlg& dlg = UserFlow(console).Dialog();
    // The write address comes before the read size: its message wins, and the
    // read size is not read.
    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "8192");
    console.op.boxes.clear();
    SetDlgItemText(window, IDC_UD_READ_SIZE, "20");
    EXPECT_EQ(BoxTexts(console), std::vector<std::string>{"Please enter an integer between 0 and 8191."});
    EXPECT_EQ(dlg.m_nReadSize, 0);
    // The read address comes first of all.
    console.op.boxes.clear();
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "");
    EXPECT_EQ(BoxTexts(console), std::vector<std::string>{"Please enter an integer."});
    EXPECT_EQ(dlg.m_nWriteAddress, 8192);
    // Mended: every field read.
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "1");
    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "2");
    console.op.boxes.clear();
    EXPECT_TRUE(dlg.ReadForm());
    EXPECT_TRUE(console.op.boxes.empty());
    EXPECT_EQ(dlg.m_nReadAddress, 1);
    EXPECT_EQ(dlg.m_nWriteAddress, 2);
    EXPECT_EQ(dlg.m_nReadSize, 20);
}

TEST(UserDataForm, WriteDataIsUpperCaseAndItsSizeLeavesOutOneBlankAtTheEnd) {
    const struct {
        const char* typed;
        const char* shown;
        int size;
        const char* bytes;  // sent by WRITE USER DATA; nullptr: nothing sent
    } cases[] = {
        {"hello", "HELLO", 5, "HELLO"},
        {"AB C", "AB C", 4, "AB C"},
        {"AB C ", "AB C ", 4, "AB C"},
        {"AB C  ", "AB C  ", 5, "AB C "},
        {" x", " X", 2, " X"},
        {" ", " ", 0, nullptr},
        {"", "", 0, nullptr},
        {"mixed Case 123!", "MIXED CASE 123!", 15, "MIXED CASE 123!"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        CConsole console;
        ASSERT_TRUE(StartOnLine(console));
        QDialog* window = OpenWindow(console);
        SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "300");
        SetDlgItemText(window, IDC_UD_WRITE_DATA, c.typed);
        EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), c.shown);
        EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), QString::number(c.size));
        ASSERT_TRUE(ClickDlgItem(window, IDC_UD_WRITE));
        if (!c.bytes) {
            EXPECT_EQ(Sent(console).m_Command, 0u);
            continue;
        }
        const std::string bytes = c.bytes;
        EXPECT_EQ(Sent(console).m_Command, CMD_WRITE_USER_DATA);
        EXPECT_EQ(Sent(console).m_Param1, 300u);
        EXPECT_EQ(Sent(console).m_Param2, bytes.size());
        EXPECT_EQ(Sent(console).m_DataSize, bytes.size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(Sent(console).m_Data), bytes.size()), bytes);
        EXPECT_TRUE(console.op.boxes.empty());
    }
    // The write data field takes no more than 256 characters.
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    SetDlgItemText(window, IDC_UD_WRITE_DATA, QString(300, 'z'));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), QString(256, 'Z'));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), "256");
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST(UserDataForm, WhatIsWrittenIsTheTextShownEvenWhenAnEarlierFieldStopsTheReading) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    SetDlgItemText(window, IDC_UD_WRITE_DATA, "old");
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "");  // not a number: reading stops here from now on
    console.op.boxes.clear();
    SetDlgItemText(window, IDC_UD_WRITE_DATA, "new text");
    EXPECT_EQ(BoxTexts(console), std::vector<std::string>{"Please enter an integer."});
    // The typed text stays in its field and its size follows it.
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "NEW TEXT");
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), "8");
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_WRITE));
    EXPECT_EQ(Sent(console).m_Command, CMD_WRITE_USER_DATA);
    EXPECT_EQ(Sent(console).m_Param2, 8u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Sent(console).m_Data), 8), "NEW TEXT");
}

// A small letter typed into an upper-case field is made a capital inside the
// keystroke: the form is read once a keystroke, so a field that does not fit
// is reported once, not twice.
TEST(UserDataForm, EachKeystrokeInAnUpperCaseFieldChecksTheFormOnce) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    QDialog* window = OpenWindow(console);
    auto* size = DlgItem<QLineEdit>(window, IDC_UD_READ_SIZE);
    size->clear();
    console.op.boxes.clear();
    TypeKeys(size, "a");
    EXPECT_EQ(size->text(), "A");
    EXPECT_EQ(BoxTexts(console), std::vector<std::string>{"Please enter an integer."});

    // With the write address out of range, each letter of the write data
    // shows its message once.
    SetDlgItemText(window, IDC_UD_READ_SIZE, "0");
    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "9000");
    console.op.boxes.clear();
    TypeKeys(GetDlgItem(window, IDC_UD_WRITE_DATA), "hello");
    EXPECT_EQ(BoxTexts(console),
              std::vector<std::string>(5, "Please enter an integer between 0 and 8191."));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "HELLO");
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), "5");
}

// The module keeps one byte a character: a character outside Latin-1 is
// refused as it is typed (and named beside the field), so that what is
// written is what is shown.
TEST(UserDataForm, CharactersTheModuleCannotStoreAreRefusedAsTheyAreTyped) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "7");
    QWidget* data = GetDlgItem(window, IDC_UD_WRITE_DATA);
    TypeKeys(data, QString::fromUtf8("пароль"));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "");
    EXPECT_EQ(QToolTip::text(), QString::fromUtf8("The module cannot store the character 'ь'."));
    TypeKeys(data, QString::fromUtf8("😀😀😀😀😀"));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "");
    EXPECT_EQ(QToolTip::text(), QString::fromUtf8("The module cannot store the character '😀'."));
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_WRITE));
    EXPECT_EQ(Sent(console).m_Command, 0u);
    TypeKeys(data, QString::fromUtf8("hé€llo"));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), QString::fromUtf8("HÉLLO"));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), "5");
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_WRITE));
    EXPECT_EQ(Sent(console).m_Command, CMD_WRITE_USER_DATA);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(Sent(console).m_Data), 5), "H\xC9LLO");
}

TEST(UserDataForm, ReadSendsTheFormsAddressAndSizeEvenOutOfRange) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    SetDlgItemText(window, IDC_UD_READ_SIZE, "16");
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "8192");
    console.op.boxes.clear();
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_READ));
    EXPECT_EQ(BoxTexts(console), std::vector<std::string>{"Please enter an integer between 0 and 8191."});
    EXPECT_EQ(Sent(console).m_Command, CMD_READ_USER_DATA);
    EXPECT_EQ(Sent(console).m_Param1, 8192u);
    EXPECT_EQ(Sent(console).m_Param2, 16u);
    EXPECT_EQ(Sent(console).m_DataSize, 0u);
}

TEST(UserDataForm, EraseEmptiesTheFormBeforeTheRequestAndAsksNothing) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    QDialog* window = OpenWindow(console);
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "5");
    SetDlgItemText(window, IDC_UD_READ_SIZE, "6");
    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "7");
    SetDlgItemText(window, IDC_UD_WRITE_DATA, "data");
    UserFlow(console).Dialog().ShowReadData(reinterpret_cast<const std::uint8_t*>("read"), 4);
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_ERASE));
    for (int id : {IDC_UD_READ_ADDRESS, IDC_UD_WRITE_ADDRESS, IDC_UD_READ_SIZE, IDC_UD_WRITE_SIZE}) {
        EXPECT_EQ(GetDlgItemText(window, id), "0");
    }
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_DATA), "");
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_DATA), "");
    EXPECT_EQ(Sent(console).m_Command, CMD_ERASE_USER_DATA);
    EXPECT_EQ(Sent(console).m_Param1, 0u);
    EXPECT_EQ(Sent(console).m_Param2, 0u);
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST(UserDataAnswers, EachAnswerShowsItsText) {
    const struct {
        UINT msg;
        std::uint32_t command;
        std::int32_t result;
        const char* prompt;
        int form;
    } cases[] = {
        {CMD_WRITE_USER_DATA, CMD_WRITE_USER_DATA, RES_SUCCESS, "To write user data is succeeded.", MSGFORM_SUCCESS},
        {CMD_WRITE_USER_DATA, CMD_WRITE_USER_DATA, RES_FAIL, "To write user data is failed.", MSGFORM_WARNING},
        {CMD_WRITE_USER_DATA, CMD_WRITE_USER_DATA, RES_NO_MASTER_MODE, "No master mode!!!", MSGFORM_WARNING},
        {CMD_WRITE_USER_DATA, CMD_WRITE_USER_DATA, RES_INVALID_PARAM, "Invalid parameter!!!", MSGFORM_WARNING},
        {CMD_WRITE_USER_DATA, CMD_WRITE_USER_DATA, RES_CANCELED, "", -1},
        {CMD_READ_USER_DATA, CMD_READ_USER_DATA, RES_FAIL, "To read user data is failed.", MSGFORM_WARNING},
        {CMD_READ_USER_DATA, CMD_READ_USER_DATA, RES_NO_MASTER_MODE, "No master mode!!!", MSGFORM_WARNING},
        {CMD_READ_USER_DATA, CMD_READ_USER_DATA, RES_INVALID_PARAM, "Invalid parameter!!!", MSGFORM_WARNING},
        {CMD_READ_USER_DATA, CMD_READ_USER_DATA, RES_TIMEOUT, "", -1},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, RES_SUCCESS, "To erase user data block succeeded.",
         MSGFORM_SUCCESS},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, RES_FAIL, "To erase user data block failed.", MSGFORM_WARNING},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, RES_NO_MASTER_MODE, "To erase user data block failed.",
         MSGFORM_WARNING},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, RES_INVALID_PARAM, "To erase user data block failed.",
         MSGFORM_WARNING},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, RES_CANCELED, "To erase user data block failed.",
         MSGFORM_WARNING},
        {CMD_ERASE_USER_DATA, CMD_ERASE_USER_DATA, 0, "To erase user data block failed.", MSGFORM_WARNING},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.msg << " " << c.result);
        CConsole console;
        ASSERT_TRUE(StartOnLine(console));
        QDialog* window = OpenWindow(console);
        console.View().SetStatusText("before");
        Deliver(console, FLOW_USER_DATA, c.command, static_cast<std::uint32_t>(c.result));
        EXPECT_EQ(console.Prompt(), c.prompt);
        if (c.form >= 0) {
            EXPECT_EQ(console.PromptForm(), c.form);
        }
        EXPECT_EQ(console.Text(IDC_STATUS_LINE), "before");
        EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_DATA), "");
    }
}

TEST(UserDataAnswers, AReadAnswerShowsItsBytesAsUpperCaseTextAndOnlyBytesThatCame) {
    const struct {
        std::vector<std::uint8_t> data;
        std::uint32_t count;
        const char* shown;
    } cases[] = {
        {{0x41, 0x00, 0x42}, 3, "AB"},
        {{'a', 'b', 'c', 'd'}, 2, "AB"},
        {{'x', 'y', 'z'}, 3, "XYZ"},
        // More announced than came: only what came is read.
        {{'o', 'k'}, 5000, "OK"},
        {{}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        CConsole console;
        ASSERT_TRUE(StartOnLine(console));
        QDialog* window = OpenWindow(console);
        UserFlow(console).Dialog().ShowReadData(reinterpret_cast<const std::uint8_t*>("stale"), 5);
        SetDlgItemText(window, IDC_UD_READ_ADDRESS, "12");
        Deliver(console, FLOW_USER_DATA, CMD_READ_USER_DATA, RES_SUCCESS, c.count, c.data);
        EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_DATA), c.shown);
        EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_ADDRESS), "12");
        EXPECT_EQ(console.Prompt(), "");
    }
}

// ------------------------------------------------- against the simulated module

TEST(UserDataModule, WrittenTextIsReadBackAndEraseEmptiesTheBlock) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_PELL));
    ASSERT_TRUE(EnterMasterMode(console));
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_USER_DATA));
    ASSERT_TRUE(console.Choose(ID_VIEW_USER_DATA));
    CUserDataDlg& dlg = UserFlow(console).Dialog();
    QDialog* window = dlg.Window();
    ASSERT_NE(window, nullptr);
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_VIEW_USER_DATA));

    SetDlgItemText(window, IDC_UD_WRITE_ADDRESS, "100");
    SetDlgItemText(window, IDC_UD_WRITE_DATA, "hello world ");
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_WRITE_SIZE), "11");
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_WRITE));
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To write user data is succeeded."; }));
    EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
    console.ClosePrompt();
    std::string stored;
    console.App().Simulator()->RunLocked([&](CSimModule& module) {
        stored.assign(module.UserData().begin() + 99, module.UserData().begin() + 112);
    });
    EXPECT_EQ(stored, std::string("\0HELLO WORLD\0", 13));

    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "98");
    SetDlgItemText(window, IDC_UD_READ_SIZE, "16");
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_READ));
    ASSERT_TRUE(console.WaitFor([&] { return GetDlgItemText(window, IDC_UD_READ_DATA) == "HELLO WORLD"; }));

    // Beyond the block: the module refuses.
    SetDlgItemText(window, IDC_UD_READ_ADDRESS, "8190");
    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_READ));
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "Invalid parameter!!!"; }));
    EXPECT_EQ(GetDlgItemText(window, IDC_UD_READ_DATA), "HELLO WORLD");
    console.ClosePrompt();

    ASSERT_TRUE(ClickDlgItem(window, IDC_UD_ERASE));
    ASSERT_TRUE(console.WaitFor([&] { return console.Prompt() == "To erase user data block succeeded."; }));
    console.ClosePrompt();
    bool empty = false;
    console.App().Simulator()->RunLocked([&](CSimModule& module) {
        empty = std::all_of(module.UserData().begin(), module.UserData().end(), [](std::uint8_t b) { return b == 0; });
    });
    EXPECT_TRUE(empty);
    EXPECT_TRUE(console.op.boxes.empty());
}

TEST(UserDataModule, AReadAnswerAfterTheWindowClosedShowsNothing) {
    CConsole console;
    ASSERT_TRUE(StartConnected(console, BOARD_ZEL12));
    ASSERT_TRUE(EnterMasterMode(console));
    ASSERT_TRUE(console.Choose(ID_VIEW_USER_DATA));
    CUserDataDlg& dlg = UserFlow(console).Dialog();
    SetDlgItemText(dlg.Window(), IDC_UD_READ_SIZE, "4");
    ASSERT_TRUE(ClickDlgItem(dlg.Window(), IDC_UD_READ));
    ASSERT_EQ(console.View().Client().OpenExchanges(), 1u);
    ASSERT_TRUE(console.Choose(ID_VIEW_USER_DATA));  // closes it
    EXPECT_FALSE(dlg.IsOpen());
    ASSERT_TRUE(console.WaitFor([&] { return console.View().Client().OpenExchanges() == 0; }));
    console.loop.RunPending();
    EXPECT_EQ(console.Prompt(), "");
    EXPECT_FALSE(dlg.IsOpen());
    // Opened again, the form starts empty.
    ASSERT_TRUE(console.Choose(ID_VIEW_USER_DATA));
    EXPECT_EQ(GetDlgItemText(dlg.Window(), IDC_UD_READ_SIZE), "0");
    EXPECT_EQ(GetDlgItemText(dlg.Window(), IDC_UD_READ_DATA), "");
}

TEST(ToolWindowCaptions, LogAndUserDataWindowsShowTheirTexts) {
    CConsole console;
    ASSERT_TRUE(StartOnLine(console));
    console.View().State().m_nBoardType = BOARD_PELL;
    console.View().OnCommand(ID_VIEW_LOG_DATA, BN_CLICKED);
    QDialog* log = static_cast<CLogDataFlow&>(*console.View().Flow(FLOW_LOG_DATA)).Dialog().Window();
    QDialog* user = OpenWindow(console);
    ASSERT_NE(log, nullptr);
    ASSERT_NE(user, nullptr);
    const struct {
        QDialog* window;
        int id;
        const char* text;
    } items[] = {
        {log, IDC_LOG_READ, "READ && SAVE LOG DATA"}, {log, IDC_LOG_NTH_PREVIOUS, "Nth previous log"},
        {log, IDC_LOG_OLDEST_UNREAD, "Oldest unread log"}, {log, IDC_LOG_LAST_WRITTEN, "Last written log"},
        {log, IDC_LOG_ALL, "All log"}, {log, IDC_LOG_UNREAD_TO_LAST, "From oldest unread to last"},
        {log, IDC_LOG_STATUS, "STATUS"}, {log, IDC_LOG_CANCEL, "CANCEL"}, {log, IDCANCEL, "CLOSE"},
        {user, IDC_UD_READ, "READ USER DATA"}, {user, IDC_UD_WRITE, "WRITE USER DATA"},
        {user, IDC_UD_ERASE, "ERASE USER DATA BLOCK"}, {user, IDCANCEL, "CLOSE"},
    };
    for (const auto& item : items) {
        SCOPED_TRACE(item.text);
        EXPECT_EQ(GetDlgItemText(item.window, item.id), item.text);
    }
    QStringList labels;
    for (QLabel* label : log->findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("N:"));
    labels.clear();
    for (QLabel* label : user->findChildren<QLabel*>()) labels << label->text();
    EXPECT_TRUE(labels.contains("(Input Max Datz Size : 256 byte)"));
    QStringList groups;
    for (QGroupBox* group : user->findChildren<QGroupBox*>()) groups << group->title();
    EXPECT_TRUE(groups.contains("Read User Data"));
    EXPECT_TRUE(groups.contains("Write User Data"));
    // The default buttons answer Return.
    EXPECT_TRUE(DlgItem<QPushButton>(log, IDC_LOG_READ)->isDefault());
    EXPECT_TRUE(DlgItem<QPushButton>(user, IDC_UD_READ)->isDefault());
}
