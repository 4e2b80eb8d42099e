#pragma once
// Shared by the verification and master-mode tests: answers delivered to the
// main form as the packet manager delivers them (with stale bytes behind the
// data), and scripted answers for the input dialogs. The requests the console
// wrote are read with flow_test::CRequestLog.
#include <QLineEdit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/ConsoleFixture.h"
#include "tests/ui/FlowRequests.h"

namespace verify_test {

using console_test::CConsole;

// Real time the tests against the simulated module wait for an answer (a
// scan takes 300 ms; a loaded machine may take much longer).
constexpr int kLiveWaitMs = 10000;

// A General answer with result param1, PARAM2 param2 and data, delivered to
// the form now. Bytes behind the data are filled with 'X' (stale bytes of an
// earlier answer) so that a handler that reads past the data shows them.
inline void Deliver(CConsole& console, UINT msg, std::uint32_t param1, std::uint32_t param2 = 0,
                    const std::string& data = {}) {
    auto packet = std::make_unique<CPacket>();
    packet->m_Param1 = param1;
    packet->m_Param2 = param2;
    std::memset(packet->m_Data, 'X', 64);
    std::memcpy(packet->m_Data, data.data(), data.size());
    packet->m_DataSize = static_cast<std::uint32_t>(data.size());
    console.Send(msg, reinterpret_cast<WPARAM>(packet.get()));
}

// A Minimized answer frame with its result byte, delivered to the form now.
inline void DeliverMini(CConsole& console, UINT msg, std::uint8_t command, std::uint8_t result) {
    std::uint8_t frame[MINI_FRAME_SIZE];
    BuildMiniFrame(frame, command, result, 0);
    console.Send(msg, reinterpret_cast<WPARAM>(frame));
}

using flow_test::CRequestLog;
using flow_test::SRequest;

// The data of a request as bytes of text.
inline std::string DataOf(const SRequest& request) { return std::string(request.data.begin(), request.data.end()); }

// A text field of the request data: text, then zeros up to size.
inline std::string FieldOf(const std::string& text, std::size_t size) {
    std::string field(size, '\0');
    field.replace(0, text.size(), text);
    return field;
}

// Types text into an edit key by key, as the operator would (the edit's
// length limit applies).
inline void Type(QDialog& dialog, int id, const QString& text) {
    auto* edit = DlgItem<QLineEdit>(&dialog, id);
    if (!edit) return;
    edit->setFocus();
    TypeKeys(edit, text);
}

// An answer that types text into the edit id and presses OK; an empty text
// presses Cancel.
inline CScriptedUiOperator::DialogAnswer TypeAndOk(int id, const QString& text) {
    return [id, text](QDialog& d) {
        if (text.isEmpty()) return IDCANCEL;
        Type(d, id, text);
        return IDOK;
    };
}

// The console of a form with the connected layout (no link) and the board
// and protocol chosen.
inline void StartOffline(CConsole& console, int board, int protocol = PROTOCOL_GENERAL) {
    ASSERT_TRUE(console.Start());
    CPravikView& view = console.View();
    view.SelectBoard(board);
    view.SelectProtocol(protocol);
    view.SetLayout(LAYOUT_CONNECTED);
    console.ClosePrompt();  // "Packet type is changed!!!"
    view.SetStatusText("before");
}

}  // namespace verify_test
