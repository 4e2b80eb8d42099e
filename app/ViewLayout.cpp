// The main form's layouts, board and protocol choices and menu marks.
//
// Each layout is one column of the tables below: which device buttons and
// which View and Tools items the operator can use. Captions and the board's
// STATUS / POWER buttons follow in code.
#include <QMenu>

#include "app/MenuResource.h"
#include "app/PravikView.h"

namespace {

// How a layout treats a control or menu item.
enum ERule : unsigned char {
    KEEP,        // left as it is
    OFF,
    ON,
    IF_GENERAL,  // enabled in the General protocol only
    IF_ZEL12,    // enabled on a ZEL12 only
};

struct SLayoutRow {
    int id;
    ERule rule[3];  // by layout: disconnected, connected, master
};

const SLayoutRow kButtonRows[] = {
    {IDC_ENTER_MASTER, {OFF, ON, KEEP}},
    {IDC_ENROLL, {OFF, OFF, ON}},
    {IDC_DELETE, {OFF, OFF, ON}},
    {IDC_IDENTIFY, {OFF, ON, ON}},
    {IDC_CANCEL, {OFF, ON, ON}},
    {IDC_VERIFY, {OFF, IF_GENERAL, IF_GENERAL}},
    {IDC_GET_MINUTIAE, {OFF, IF_GENERAL, IF_GENERAL}},
    {IDC_INSTANT_MATCHING, {OFF, IF_GENERAL, IF_GENERAL}},
    {IDC_CAPTURE, {OFF, IF_GENERAL, IF_GENERAL}},
    {IDC_CONTINUOUS, {OFF, IF_GENERAL, IF_GENERAL}},
    // Power is switched through the open port only.
    {IDC_POWER, {OFF, ON, KEEP}},
};

// The View menu stays open in every layout so that the packet trace can watch
// the first connection; its tool windows follow the layouts item by item.
const SLayoutRow kMenuRows[] = {
    {ID_VIEW_PACKET_TRACE, {ON, ON, ON}},
    {ID_VIEW_SYSTEM_INFO, {OFF, OFF, IF_GENERAL}},
    {ID_VIEW_DB_MANAGER, {OFF, OFF, IF_GENERAL}},
    {ID_VIEW_LOG_DATA, {OFF, OFF, IF_GENERAL}},
    {ID_VIEW_USER_DATA, {OFF, OFF, IF_GENERAL}},
    {ID_TOOLS_BOARD_PASSWORD, {KEEP, OFF, ON}},
    {ID_TOOLS_CHECK_VOLTAGE, {KEEP, IF_ZEL12, KEEP}},
    {ID_TOOLS_BATTERY_TEST, {KEEP, IF_ZEL12, KEEP}},
};

const SLayoutRow kTopMenuRows[] = {
    {MENU_POS_VIEW, {ON, ON, ON}},
    {MENU_POS_TOOLS, {OFF, IF_GENERAL, IF_GENERAL}},
};

// The View items that carry a check mark while their window is open.
const int kViewWindowItems[] = {ID_VIEW_SYSTEM_INFO, ID_VIEW_DB_MANAGER, ID_VIEW_LOG_DATA, ID_VIEW_USER_DATA};

}  // namespace

void CPravikView::ApplyLayoutTables(int layout) {
    m_State.m_nLayout = layout;
    auto apply = [&](const SLayoutRow& row, auto&& enable) {
        switch (row.rule[layout]) {
        case KEEP: break;
        case OFF: enable(row.id, false); break;
        case ON: enable(row.id, true); break;
        case IF_GENERAL: enable(row.id, m_State.IsGeneral()); break;
        case IF_ZEL12: enable(row.id, m_State.IsZel12()); break;
        }
    };
    for (const auto& row : kTopMenuRows) apply(row, [this](int pos, bool on) { EnableTopMenu(pos, on); });
    for (const auto& row : kMenuRows) apply(row, [this](int id, bool on) { EnableMenuItem(id, on); });
    for (const auto& row : kButtonRows) apply(row, [this](int id, bool on) { EnableItem(id, on); });
}

void CPravikView::SetLayout(int layout) {
    switch (layout) {
    case LAYOUT_CONNECTED: SetConnectedLayout(); break;
    case LAYOUT_MASTER: SetMasterLayout(); break;
    default: SetDisconnectedLayout(); break;
    }
}

void CPravikView::SetDisconnectedLayout() {
    ApplyLayoutTables(LAYOUT_DISCONNECTED);
    SetDlgItemText(this, IDC_CONNECT, "CONNECT");
    SetBoardButtons();
    if (!m_State.IsZel12()) EnableItem(IDC_STATUS, false);
}

void CPravikView::SetConnectedLayout() {
    ApplyLayoutTables(LAYOUT_CONNECTED);
    SetDlgItemText(this, IDC_ENTER_MASTER, "ENTER MASTER");
    SetDlgItemText(this, IDC_CONNECT, "DISCONNECT");
    SetBoardButtons();
    if (m_State.IsZel12()) {
        SetDlgItemText(this, IDC_POWER, "POWER OFF");
        m_State.m_bPowerOn = true;
    } else {
        EnableItem(IDC_STATUS, true);
    }
}

void CPravikView::SetMasterLayout() {
    ApplyLayoutTables(LAYOUT_MASTER);
    SetDlgItemText(this, IDC_ENTER_MASTER, "LEAVE MASTER");
}

// ----------------------------------------------------- board and protocol

QString CPravikView::ModuleLabelFor(int boardType) {
    switch (boardType) {
    case BOARD_ZEL12: return "Module Type: ZEL12";
    case BOARD_PELL: return "Module Type: Pell";
    case BOARD_QOR10_HV: return "Module Type: QOR10-HV";
    case BOARD_QOR10_LV: return "Module Type: QOR10-LV";
    default: return QString();
    }
}

QString CPravikView::ProtocolLabelFor(int protocol) {
    switch (protocol) {
    case PROTOCOL_GENERAL: return "Protocol: General";
    case PROTOCOL_MINIMIZED: return "Protocol: Minimized";
    default: return QString();
    }
}

void CPravikView::SetBoardButtons() {
    const bool zel12 = m_State.IsZel12();
    ShowDlgItem(this, IDC_STATUS, !zel12);
    ShowDlgItem(this, IDC_POWER, zel12);
}

void CPravikView::SelectBoard(int boardType) {
    m_State.m_nBoardType = boardType;
    m_Settings.m_nType = boardType;
    SaveSettings();
    // Only shown or hidden: enabling and captions wait for the next layout.
    SetBoardButtons();
    SetLabel(IDC_MODULE_LABEL, ModuleLabelFor(boardType));
    // Open tool windows follow the board (defaults, labels, request forms).
    for (auto& flow : m_Flows) {
        if (flow) flow->OnBoardChanged();
    }
}

void CPravikView::SelectProtocol(int protocol) {
    m_State.m_nProtocol = protocol;
    m_Settings.m_nProtocol = protocol;
    SaveSettings();
    SetLayout(m_State.m_nLayout);
    SetLabel(IDC_PROTOCOL_LABEL, ProtocolLabelFor(protocol));
    m_MsgDlg.ShowSuccess(this, "Packet type is changed!!!");
}

void CPravikView::OnSelectZel12() { SelectBoard(BOARD_ZEL12); }
void CPravikView::OnSelectPell() { SelectBoard(BOARD_PELL); }
void CPravikView::OnSelectQor10Hv() { SelectBoard(BOARD_QOR10_HV); }
void CPravikView::OnSelectQor10Lv() { SelectBoard(BOARD_QOR10_LV); }
void CPravikView::OnSelectGeneral() { SelectProtocol(PROTOCOL_GENERAL); }
void CPravikView::OnSelectMinimized() { SelectProtocol(PROTOCOL_MINIMIZED); }

// ------------------------------------------------------------------ menus

void CPravikView::EnableMenuItem(int command, bool enable) {
    if (m_pMenu) m_pMenu->EnableItem(command, enable);
}

void CPravikView::EnableTopMenu(int position, bool enable) {
    if (m_pMenu) m_pMenu->EnableTopMenu(position, enable);
}

void CPravikView::OnUpdateMenu(QMenu*) {
    if (!m_pMenu) return;
    static const int boards[][2] = {{ID_BOARD_ZEL12, BOARD_ZEL12},
                                    {ID_BOARD_PELL, BOARD_PELL},
                                    {ID_BOARD_QOR10_HV, BOARD_QOR10_HV},
                                    {ID_BOARD_QOR10_LV, BOARD_QOR10_LV}};
    for (const auto& board : boards) m_pMenu->CheckItem(board[0], m_State.m_nBoardType == board[1]);
    m_pMenu->CheckItem(ID_PROTOCOL_GENERAL, m_State.m_nProtocol == PROTOCOL_GENERAL);
    m_pMenu->CheckItem(ID_PROTOCOL_MINIMIZED, m_State.m_nProtocol == PROTOCOL_MINIMIZED);
    // View items are marked while their tool window is open.
    m_pMenu->CheckItem(ID_VIEW_PACKET_TRACE, m_PacketTraceDlg.IsOpen());
    for (int command : kViewWindowItems) {
        bool checked = false;
        for (const auto& flow : m_Flows) checked = checked || (flow && flow->IsMenuChecked(command));
        m_pMenu->CheckItem(command, checked);
    }
}
