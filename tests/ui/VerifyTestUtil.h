#pragma once
// Shared by the verification and master-mode tests: the console on a raw
// line, and scripted answers for the input dialogs. The requests the console
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


using flow_test::CRequestLog;
using flow_test::SWritten;

// The data of a request as bytes of text.
inline std::string DataOf(const SWritten& request) { return std::string(request.data.begin(), request.data.end()); }

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

// The console of a form with the connected layout, the board and protocol
// chosen, and its link open on a raw line with nothing behind it.
inline void StartOffline(CConsole& console, int board, int protocol = PROTOCOL_GENERAL) {
    console_test::StartOnRawLine(console, board, protocol);
}

}  // namespace verify_test
