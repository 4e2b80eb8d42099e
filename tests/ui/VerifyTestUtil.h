#pragma once
// Shared by the verification and master-mode tests: answers delivered to the
// main form as the packet manager delivers them, the requests the console
// wrote, and scripted answers for the input dialogs.
#include <QLineEdit>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/ConsoleFixture.h"

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

// One request as written: a General packet or a Minimized frame (mini set,
// command the frame's command byte).
struct SRequest {
    bool mini = false;
    std::uint32_t command = 0, param1 = 0, param2 = 0;
    std::string data;
};

// Every request the packet manager writes, whether or not the port is open.
class CRequestLog {
public:
    explicit CRequestLog(CPravikView& view) {
        view.m_PacketManager.m_Comm.m_WriteTap = [this](const std::uint8_t* b, std::size_t n) {
            m_Bytes.insert(m_Bytes.end(), b, b + n);
        };
    }
    std::vector<SRequest> Requests() const {
        std::vector<SRequest> out;
        std::size_t at = 0;
        while (at + MINI_FRAME_SIZE <= m_Bytes.size() && m_Bytes[at] == PACKET_START) {
            SRequest r;
            if (m_Bytes[at + 1] == MINI_MARKER) {
                r.mini = true;
                r.command = m_Bytes[at + 2];
                r.param1 = m_Bytes[at + 3];
                r.param2 = m_Bytes[at + 4];
                at += MINI_FRAME_SIZE;
            } else {
                if (at + PACKET_HEADER_SIZE > m_Bytes.size()) break;
                const std::uint8_t* h = &m_Bytes[at];
                r.command = GetBE32(h + 1);
                r.param1 = GetBE32(h + 5);
                r.param2 = GetBE32(h + 9);
                const std::uint32_t size = GetBE32(h + 13);
                if (at + PACKET_HEADER_SIZE + size > m_Bytes.size()) break;
                r.data.assign(reinterpret_cast<const char*>(h + PACKET_HEADER_SIZE), size);
                at += PACKET_HEADER_SIZE + (size ? size + 4 : 0);
            }
            out.push_back(r);
        }
        return out;
    }
    bool Empty() const { return m_Bytes.empty(); }
    void Clear() { m_Bytes.clear(); }

private:
    std::vector<std::uint8_t> m_Bytes;
};

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
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
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
