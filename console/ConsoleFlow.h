#pragma once
// Base of the console's flows. A flow is a message target of its own: the
// main form forwards the notifications and commands it owns to WindowProc and
// OnCommand (each flow keeps its own tables), and its timers and delayed
// calls run on it. It sees the console only through IConsoleContext.
//
// To add a flow: derive from CConsoleFlow in console/ (tool windows' flows
// may live in tools/), give it a message table (OnMessage) and a command
// table (OnCommand), add its
// slot to EFlow and its rows to the main form's route tables, and create it
// in CPravikView::CreateFlows.
#include <QString>
#include <cstdint>
#include <string>

#include "console/ConsoleContext.h"
#include "platform/core/MessageLoop.h"
#include "protocol/Packet.h"

class CConsoleFlow : public CMsgTarget {
public:
    explicit CConsoleFlow(IConsoleContext& console) : CMsgTarget(console.MessageLoop()), m_Console(console) {}

    // Notifications, the console's own messages and the flow's timers arrive
    // in OnMessage; boxes posted by PostBox are shown here.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) final;
    virtual LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return 0; }
    // Buttons and menu commands; true when handled.
    virtual bool OnCommand(int id, int code) { return false; }

    // The check mark of a menu command the flow owns (a View-menu item is
    // marked while its tool window is open).
    virtual bool IsMenuChecked(int command) const { return false; }

    // Console-wide events (IConsoleContext::Notify*).
    virtual void OnLinkClosed() {}
    virtual void OnChecksumError() {}
    // Another board was chosen (from the File menu, or the module connected
    // reported another type): State().m_nBoardType holds it.
    virtual void OnBoardChanged() {}
    // The main form's controls exist (its initial update).
    virtual void OnFormCreated() {}

protected:
    IConsoleContext& m_Console;
    SConsoleState& State() { return m_Console.State(); }

    // The answer a notification carries: a General packet, or the six bytes
    // of a Minimized frame.
    static const CPacket& PacketOf(WPARAM wParam) { return *reinterpret_cast<const CPacket*>(wParam); }
    static const std::uint8_t* FrameOf(WPARAM wParam) { return reinterpret_cast<const std::uint8_t*>(wParam); }
    // Operator text (an ID, a password) to the 8-bit text of the request
    // fields: one byte per character, as the module stores and lists it.
    static std::string Field(const QString& text) { return text.toLatin1().toStdString(); }

    // Shows a modal box once the handler that decided on it has returned, so
    // that the box's nested loop cannot re-enter the handler.
    void PostBox(const QString& text, unsigned flags);
};

// Flows of the main form, by the slot the route tables name.
enum EFlow {
    FLOW_CONNECTION,
    FLOW_VERIFY,       // verification and identification
    FLOW_MASTER,       // master mode and passwords
    FLOW_ENROLL,       // enrolment and deletion
    FLOW_MINUTIAE,
    FLOW_CAPTURE,      // image capture and display
    FLOW_UPGRADE,      // firmware upgrade
    FLOW_SERVICE,      // status, cancel, voltage and battery tests
    FLOW_DB_MANAGER,
    FLOW_SYSTEM_INFO,
    FLOW_LOG_DATA,
    FLOW_USER_DATA,
    FLOW_COUNT
};

// One row of a route table: a message number or control ID and its flow.
struct SFlowRoute {
    UINT id;
    EFlow flow;
};

// The row for id, or nullptr.
template <std::size_t N>
const SFlowRoute* FindRoute(const SFlowRoute (&routes)[N], UINT id) {
    for (const auto& route : routes) {
        if (route.id == id) return &route;
    }
    return nullptr;
}
