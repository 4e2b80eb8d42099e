// The three layouts against every board and protocol, the board and protocol
// choices with the settings file they write, and the menu marks.
#include "tests/ui/ConsoleFixture.h"

using namespace console_test;

namespace {

const int GENERAL_ONLY[] = {IDC_VERIFY, IDC_GET_MINUTIAE, IDC_INSTANT_MATCHING, IDC_CAPTURE, IDC_CONTINUOUS};
const int VIEW_TOOL_ITEMS[] = {ID_VIEW_SYSTEM_INFO, ID_VIEW_DB_MANAGER, ID_VIEW_LOG_DATA, ID_VIEW_USER_DATA};
const int FILE_HELP_ITEMS[] = {ID_FILE_OPEN_IMAGE, ID_FILE_SAVE_IMAGE, ID_FILE_SERIAL_COMM, ID_BOARD_ZEL12,
                               ID_BOARD_PELL,      ID_BOARD_QOR10_HV, ID_BOARD_QOR10_LV,   ID_PROTOCOL_GENERAL,
                               ID_PROTOCOL_MINIMIZED, ID_APP_EXIT,    ID_APP_ABOUT};

// What the tables say, written out per layout.
void ExpectDisconnected(CConsole& c, int board) {
    SCOPED_TRACE("disconnected, board " + std::to_string(board));
    EXPECT_EQ(c.View().m_nLayout, LAYOUT_DISCONNECTED);
    EXPECT_FALSE(c.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    EXPECT_FALSE(c.Menu().IsTopMenuEnabled(MENU_POS_TOOLS));
    for (int id : {IDC_ENTER_MASTER, IDC_ENROLL, IDC_DELETE, IDC_IDENTIFY, IDC_CANCEL}) EXPECT_FALSE(c.Enabled(id)) << id;
    for (int id : GENERAL_ONLY) EXPECT_FALSE(c.Enabled(id)) << id;
    EXPECT_EQ(c.Text(IDC_CONNECT), "CONNECT");
    if (board == BOARD_ZEL12) {
        EXPECT_FALSE(c.Shown(IDC_STATUS));
        EXPECT_TRUE(c.Shown(IDC_POWER));
    } else {
        EXPECT_TRUE(c.Shown(IDC_STATUS));
        EXPECT_FALSE(c.Enabled(IDC_STATUS));
        EXPECT_FALSE(c.Shown(IDC_POWER));
    }
}

void ExpectConnected(CConsole& c, int board, int protocol) {
    SCOPED_TRACE("connected, board " + std::to_string(board) + ", protocol " + std::to_string(protocol));
    const bool general = protocol == PROTOCOL_GENERAL;
    const bool zel12 = board == BOARD_ZEL12;
    EXPECT_EQ(c.View().m_nLayout, LAYOUT_CONNECTED);
    EXPECT_EQ(c.Menu().IsTopMenuEnabled(MENU_POS_VIEW), general);
    EXPECT_EQ(c.Menu().IsTopMenuEnabled(MENU_POS_TOOLS), general);
    for (int command : VIEW_TOOL_ITEMS) EXPECT_FALSE(c.Menu().IsItemEnabled(command)) << command;
    EXPECT_FALSE(c.Menu().IsItemEnabled(ID_TOOLS_BOARD_PASSWORD));
    EXPECT_EQ(c.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE), zel12);
    EXPECT_EQ(c.Menu().IsItemEnabled(ID_TOOLS_BATTERY_TEST), zel12);
    EXPECT_TRUE(c.Enabled(IDC_ENTER_MASTER));
    EXPECT_EQ(c.Text(IDC_ENTER_MASTER), "ENTER MASTER");
    EXPECT_FALSE(c.Enabled(IDC_ENROLL));
    EXPECT_FALSE(c.Enabled(IDC_DELETE));
    EXPECT_TRUE(c.Enabled(IDC_IDENTIFY));
    EXPECT_TRUE(c.Enabled(IDC_CANCEL));
    for (int id : GENERAL_ONLY) EXPECT_EQ(c.Enabled(id), general) << id;
    EXPECT_EQ(c.Text(IDC_CONNECT), "DISCONNECT");
    if (zel12) {
        EXPECT_FALSE(c.Shown(IDC_STATUS));
        EXPECT_TRUE(c.Shown(IDC_POWER));
        EXPECT_EQ(c.Text(IDC_POWER), "POWER OFF");
        EXPECT_TRUE(c.View().m_bPowerOn);
    } else {
        EXPECT_TRUE(c.Shown(IDC_STATUS));
        EXPECT_TRUE(c.Enabled(IDC_STATUS));
        EXPECT_FALSE(c.Shown(IDC_POWER));
    }
}

void ExpectMaster(CConsole& c, int protocol) {
    SCOPED_TRACE("master, protocol " + std::to_string(protocol));
    const bool general = protocol == PROTOCOL_GENERAL;
    EXPECT_EQ(c.View().m_nLayout, LAYOUT_MASTER);
    EXPECT_EQ(c.Menu().IsTopMenuEnabled(MENU_POS_VIEW), general);
    EXPECT_EQ(c.Menu().IsTopMenuEnabled(MENU_POS_TOOLS), general);
    for (int command : VIEW_TOOL_ITEMS) EXPECT_TRUE(c.Menu().IsItemEnabled(command)) << command;
    EXPECT_TRUE(c.Menu().IsItemEnabled(ID_TOOLS_BOARD_PASSWORD));
    EXPECT_EQ(c.Text(IDC_ENTER_MASTER), "LEAVE MASTER");
    for (int id : {IDC_ENROLL, IDC_DELETE, IDC_IDENTIFY, IDC_CANCEL}) EXPECT_TRUE(c.Enabled(id)) << id;
    for (int id : GENERAL_ONLY) EXPECT_EQ(c.Enabled(id), general) << id;
}

void ExpectNeverGreyed(CConsole& c) {
    EXPECT_TRUE(c.Menu().IsTopMenuEnabled(MENU_POS_FILE));
    EXPECT_TRUE(c.Menu().IsTopMenuEnabled(MENU_POS_HELP));
    for (int command : FILE_HELP_ITEMS) EXPECT_TRUE(c.Menu().IsItemEnabled(command)) << command;
    // These two follow only their whole menu.
    EXPECT_TRUE(c.Menu().IsItemEnabled(ID_VIEW_PACKET_TRACE));
    EXPECT_TRUE(c.Menu().IsItemEnabled(ID_TOOLS_UPGRADE_FIRMWARE));
}

}  // namespace

TEST(AppLayouts, EveryLayoutAgainstEveryBoardAndProtocol) {
    for (int board : {0, 1, 2, 3, 7}) {
        for (int protocol : {0, 1, 4}) {
            CConsole console;
            console.WriteSettings("[Option]\nType=" + std::to_string(board) + "\nProtocol=" + std::to_string(protocol) +
                                  "\n");
            ASSERT_TRUE(console.Start(false));
            CPravikView& view = console.View();
            ExpectDisconnected(console, board);
            ExpectNeverGreyed(console);
            view.SetConnectedLayout();
            ExpectConnected(console, board, protocol);
            ExpectNeverGreyed(console);
            view.SetMasterLayout();
            ExpectMaster(console, protocol);
            // Master mode leaves the connect button, STATUS, POWER and the
            // voltage items as the connected layout set them.
            EXPECT_EQ(console.Text(IDC_CONNECT), "DISCONNECT");
            EXPECT_EQ(console.Shown(IDC_STATUS), board != 0);
            EXPECT_EQ(console.Shown(IDC_POWER), board == 0);
            EXPECT_EQ(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE), board == 0);
            ExpectNeverGreyed(console);
            view.SetConnectedLayout();
            ExpectConnected(console, board, protocol);
            view.SetDisconnectedLayout();
            ExpectDisconnected(console, board);
            // The disconnected layout leaves the items it does not name.
            for (int command : VIEW_TOOL_ITEMS) EXPECT_FALSE(console.Menu().IsItemEnabled(command));
            EXPECT_EQ(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE), board == 0);
            // No layout touches START, the counters or the labels.
            EXPECT_FALSE(console.Enabled(IDC_START));
            EXPECT_EQ(console.Text(IDC_FIRMWARE_LABEL), "Firmware Version: 0.00");
        }
    }
}

TEST(AppLayouts, MasterLayoutStraightFromDisconnectedKeepsWhatItDoesNotName) {
    CConsole console;
    console.WriteSettings("[Option]\nType=1\n");
    ASSERT_TRUE(console.Start(false));
    console.View().SetMasterLayout();
    ExpectMaster(console, PROTOCOL_GENERAL);
    EXPECT_EQ(console.Text(IDC_CONNECT), "CONNECT");
    EXPECT_FALSE(console.Enabled(IDC_ENTER_MASTER));  // its text changes, its state does not
    EXPECT_FALSE(console.Enabled(IDC_STATUS));
}

TEST(AppBoard, ChoosingPellWritesTheSettingsFileByteForByte) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Choose(ID_BOARD_PELL));
    EXPECT_EQ(console.Settings(), "[Option]\nType=1\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    EXPECT_EQ(console.View().m_nBoardType, BOARD_PELL);
    EXPECT_EQ(console.Text(IDC_MODULE_LABEL), "Module Type: Pell");
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_FALSE(console.Shown(IDC_POWER));
    // A board choice shows no prompt.
    EXPECT_FALSE(console.View().m_MsgDlg.IsOpen());

    // The same choice again repeats every step: the file is written again.
    std::remove(console.SettingsPath().c_str());
    ASSERT_TRUE(console.Choose(ID_BOARD_PELL));
    EXPECT_EQ(console.Settings(), "[Option]\nType=1\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");

    const std::pair<int, const char*> boards[] = {{ID_BOARD_QOR10_HV, "QOR10-HV"},
                                                  {ID_BOARD_QOR10_LV, "QOR10-LV"},
                                                  {ID_BOARD_ZEL12, "ZEL12"}};
    int type[] = {2, 3, 0};
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(console.Choose(boards[i].first));
        EXPECT_EQ(console.View().m_nBoardType, type[i]);
        EXPECT_EQ(console.Text(IDC_MODULE_LABEL), QString("Module Type: ") + boards[i].second);
        EXPECT_EQ(console.Settings(), "[Option]\nType=" + std::to_string(type[i]) +
                                          "\nCOM Port=1\nBaudrate=9600\nProtocol=0\n");
    }
    EXPECT_FALSE(console.Shown(IDC_STATUS));
    EXPECT_TRUE(console.Shown(IDC_POWER));
}

TEST(AppBoard, ChoiceKeepsOtherSectionsAndTheCurrentValues) {
    CConsole console;
    console.WriteSettings("[Ports]\nCOM2=/dev/ttyUSB0\n\n[Option]\nProtocol=1\nBaudrate=57600\nCOM Port=2\nType=0\n");
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Choose(ID_BOARD_QOR10_LV));
    EXPECT_EQ(console.Settings(),
              "[Ports]\nCOM2=/dev/ttyUSB0\n\n[Option]\nProtocol=1\nBaudrate=57600\nCOM Port=2\nType=3\n");
}

TEST(AppBoard, ChoiceWhileConnectedChangesStatusAndPowerOnlyUntilTheNextLayout) {
    CConsole console;
    console.WriteSettings("[Option]\nType=1\n");
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetConnectedLayout();
    EXPECT_FALSE(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE));
    view.m_bPowerOn = false;
    SetDlgItemText(&view, IDC_POWER, "POWER ON");

    ASSERT_TRUE(console.Choose(ID_BOARD_ZEL12));
    EXPECT_FALSE(console.Shown(IDC_STATUS));
    EXPECT_TRUE(console.Shown(IDC_POWER));
    EXPECT_EQ(console.Text(IDC_POWER), "POWER ON");  // caption untouched
    EXPECT_FALSE(view.m_bPowerOn);
    EXPECT_FALSE(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE));
    EXPECT_FALSE(console.Menu().IsItemEnabled(ID_TOOLS_BATTERY_TEST));
    EXPECT_EQ(view.m_nLayout, LAYOUT_CONNECTED);

    // Connecting again applies the connected layout for a ZEL12.
    view.SetConnectedLayout();
    EXPECT_TRUE(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE));
    EXPECT_TRUE(console.Menu().IsItemEnabled(ID_TOOLS_BATTERY_TEST));
    EXPECT_EQ(console.Text(IDC_POWER), "POWER OFF");

    // And back: STATUS shows with the state the layout left it in.
    ASSERT_TRUE(console.Choose(ID_BOARD_PELL));
    EXPECT_TRUE(console.Shown(IDC_STATUS));
    EXPECT_FALSE(console.Shown(IDC_POWER));
    EXPECT_TRUE(console.Menu().IsItemEnabled(ID_TOOLS_CHECK_VOLTAGE));
}

TEST(AppProtocol, ChoiceWritesPromptsAndReappliesTheLayout) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetConnectedLayout();
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    EXPECT_EQ(view.m_nProtocol, PROTOCOL_MINIMIZED);
    EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "Protocol: Minimized");
    EXPECT_EQ(console.Prompt(), "Packet type is changed!!!");
    EXPECT_EQ(console.PromptForm(), MSGFORM_SUCCESS);
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=9600\nProtocol=1\n");
    ExpectConnected(console, BOARD_ZEL12, PROTOCOL_MINIMIZED);
    // The open prompt keeps the form from taking clicks.
    EXPECT_FALSE(console.Click(IDC_IDENTIFY));

    // The same choice again: written again, prompted again.
    console.ClosePrompt();
    EXPECT_TRUE(view.isEnabled());
    std::remove(console.SettingsPath().c_str());
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    EXPECT_EQ(console.Prompt(), "Packet type is changed!!!");
    EXPECT_EQ(console.Settings(), "[Option]\nType=0\nCOM Port=1\nBaudrate=9600\nProtocol=1\n");

    // While the prompt is open the menu bar still works.
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_GENERAL));
    EXPECT_EQ(console.Text(IDC_PROTOCOL_LABEL), "Protocol: General");
    ExpectConnected(console, BOARD_ZEL12, PROTOCOL_GENERAL);
    // Nothing went to the module and the port state is as it was.
    EXPECT_FALSE(view.m_bPortOpen);
}

TEST(AppProtocol, MinimizedInMasterModeKeepsTheMasterLayout) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SetConnectedLayout();
    view.SetMasterLayout();
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    EXPECT_EQ(view.m_nLayout, LAYOUT_MASTER);
    EXPECT_TRUE(console.Enabled(IDC_ENROLL));
    EXPECT_TRUE(console.Enabled(IDC_DELETE));
    for (int id : GENERAL_ONLY) EXPECT_FALSE(console.Enabled(id)) << id;
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_VIEW));
    EXPECT_FALSE(console.Menu().IsTopMenuEnabled(MENU_POS_TOOLS));
    ExpectMaster(console, PROTOCOL_MINIMIZED);
}

TEST(AppProtocol, ChoiceWhileDisconnectedKeepsTheDisconnectedLayout) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    ASSERT_TRUE(console.Choose(ID_PROTOCOL_MINIMIZED));
    ExpectDisconnected(console, BOARD_ZEL12);
    EXPECT_EQ(console.Prompt(), "Packet type is changed!!!");
}

TEST(AppMenus, MarksAreComputedWhenTheMenuOpens) {
    CConsole console;
    console.WriteSettings("[Option]\nType=2\nProtocol=1\n");
    ASSERT_TRUE(console.Start());
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_BOARD_QOR10_HV));
    EXPECT_FALSE(console.Marked(ID_BOARD_ZEL12));
    EXPECT_FALSE(console.Marked(ID_BOARD_PELL));
    EXPECT_FALSE(console.Marked(ID_BOARD_QOR10_LV));
    EXPECT_TRUE(console.Marked(ID_PROTOCOL_MINIMIZED));
    EXPECT_FALSE(console.Marked(ID_PROTOCOL_GENERAL));
    EXPECT_FALSE(console.Marked(ID_VIEW_PACKET_TRACE));

    // A change from elsewhere (the module reports its type) shows at the next opening.
    console.View().SelectBoard(BOARD_PELL);
    console.View().m_nProtocol = PROTOCOL_GENERAL;
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_BOARD_PELL));
    EXPECT_FALSE(console.Marked(ID_BOARD_QOR10_HV));
    EXPECT_TRUE(console.Marked(ID_PROTOCOL_GENERAL));
    EXPECT_FALSE(console.Marked(ID_PROTOCOL_MINIMIZED));

    // Packet Trace is marked while its window is open.
    console.View().SetConnectedLayout();
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_VIEW_PACKET_TRACE));
    ASSERT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    console.OpenMenus();
    EXPECT_FALSE(console.Marked(ID_VIEW_PACKET_TRACE));
    // Choosing an item flips its mark in passing; the next opening corrects it.
    console.Menu().Item(ID_BOARD_QOR10_LV)->trigger();
    console.View().SelectBoard(BOARD_PELL);
    console.OpenMenus();
    EXPECT_TRUE(console.Marked(ID_BOARD_PELL));
    EXPECT_FALSE(console.Marked(ID_BOARD_QOR10_LV));
}

TEST(AppMenus, GreyedMenusCannotBeChosen) {
    CConsole console;
    ASSERT_TRUE(console.Start());
    // View and Tools are greyed while disconnected.
    EXPECT_FALSE(console.Choose(ID_VIEW_PACKET_TRACE));
    EXPECT_FALSE(console.View().m_PacketTraceDlg.IsOpen());
    console.View().SetConnectedLayout();
    EXPECT_FALSE(console.Choose(ID_VIEW_DB_MANAGER));  // greyed item
    EXPECT_TRUE(console.Choose(ID_VIEW_PACKET_TRACE));
    EXPECT_TRUE(console.View().m_PacketTraceDlg.IsOpen());
    // Buttons of flows not built yet are wired and do nothing.
    EXPECT_TRUE(console.Click(IDC_IDENTIFY));
    EXPECT_TRUE(console.Click(IDC_CANCEL));
    EXPECT_EQ(console.loop.PendingCount(), 0u);
}
