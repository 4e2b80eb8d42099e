#pragma once
// Base of the console's flows. A flow is a message target of its own: the
// main form forwards the buttons and menu commands it owns to OnCommand, and
// the module client posts the reply to each of the flow's requests to it
// (WM_EXCHANGE_ENDED): an answer goes to OnAnswer, any other end (no answer
// after the last send, the checksum refused, the link closed, superseded) to
// OnExchangeEnded. Its timers and delayed calls run on it too. It sees the
// console only through IConsoleContext.
//
// A request goes out with Request(req::...): when it cannot (no module
// connected, another flow's job owns the link) the status line says so and
// nothing is sent.
//
// To add a flow: derive from CConsoleFlow in console/ (tool windows' flows
// may live in tools/), give it a reply table (OnAnswer) and a command table
// (OnCommand), add its slot to EFlow and its buttons to the main form's
// command routes, and create it in CPravikView::CreateFlows.
#include <QString>
#include <cstdint>
#include <string>

#include "console/ConsoleContext.h"
#include "platform/core/MessageLoop.h"
#include "protocol/ModuleClient.h"
#include "protocol/Requests.h"

class CConsoleFlow : public CMsgTarget {
public:
    explicit CConsoleFlow(IConsoleContext& console) : CMsgTarget(console.MessageLoop()), m_Console(console) {}

    // Replies, the console's own messages and the flow's timers arrive here;
    // boxes posted by PostBox are shown here.
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
    virtual void OnCancelSent() {}
    // Another board was chosen (from the File menu, or the module connected
    // reported another type): State().m_nBoardType holds it.
    virtual void OnBoardChanged() {}
    // The main form's controls exist (its initial update).
    virtual void OnFormCreated() {}

protected:
    IConsoleContext& m_Console;
    SConsoleState& State() { return m_Console.State(); }
    CModuleClient& Client() { return m_Console.Client(); }

    // The module answered one of this flow's requests.
    virtual void OnAnswer(const CReply& reply) {}
    // One of this flow's requests ended without an answer. By default a
    // request whose checksum the module refused shows "Checksum error
    // occurred!!!"; the other ends show nothing (a flow that waits on its
    // request says what it means for its job).
    virtual void OnExchangeEnded(const CReply& reply);

    // Sends request for this flow. False when it was not sent; the status
    // line then says why.
    bool Request(SRequest request);
    // The same, saying nothing when it was not sent.
    ESendResult RequestQuietly(SRequest request);
    // What the status line says for a request that was not sent.
    QString NotSentText(ESendResult why) const;

    // Operator text (an ID, a password) to the 8-bit text of the request
    // fields: one byte per character, as the module stores and lists it.
    static std::string Field(const QString& text) { return text.toLatin1().toStdString(); }

    // Shows a modal box once the handler that decided on it has returned, so
    // that the box's nested loop cannot re-enter the handler.
    void PostBox(const QString& text, unsigned flags);
};

// One row of a reply table: the answers to one command go to one handler.
template <class T>
struct ReplyEntry {
    EFrameForm form;
    std::uint32_t command;
    void (T::*handler)(const CReply&);
};

// Calls the handler of the reply's command; false when the table has none.
template <class T, std::size_t N>
bool DispatchReply(T* self, const ReplyEntry<T> (&table)[N], const CReply& reply) {
    const EFrameForm form = reply.IsMini() ? EFrameForm::Minimized : EFrameForm::General;
    for (const auto& entry : table) {
        if (entry.form == form && entry.command == reply.Command()) {
            (self->*entry.handler)(reply);
            return true;
        }
    }
    return false;
}

// Rows of reply tables.
#define GENERAL_REPLY(command, handler) {EFrameForm::General, command, handler}
#define MINI_REPLY(command, handler) {EFrameForm::Minimized, command, handler}

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

// One row of a route table: a control ID or menu command and its flow.
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
