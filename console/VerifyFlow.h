#pragma once
// Verification and identification: VERIFY checks a live finger, or an ID's
// password, against one enrolled ID (General protocol only); IDENTIFY
// searches the whole database for the live finger, in both protocols. One
// request, one answer; the answers are shown from the tables in
// VerifyFlow.cpp. While the battery life test runs, the General
// identification answers are its heartbeat and go to the service flow.
#include <QString>
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

class CPacket;

// The answer tables, by notification: 1044, 1045 and 1126. The success row of
// kIdentifyRows carries the beginning of the prompt; the identified ID
// follows it as "(ID: %s)".
extern const SAnswerRow kVerifyRows[5];
extern const SAnswerRow kIdentifyRows[4];
extern const SAnswerRow kMiniIdentifyRows[4];

// The identified ID of a successful identification answer: the text at the
// start of its data, ending at the first zero, at the ninth character or at
// the end of the data the answer carried.
QString IdentifiedId(const CPacket& answer);

class CVerifyFlow : public CConsoleFlow {
public:
    explicit CVerifyFlow(IConsoleContext& console);

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;

private:
    void OnVerify();
    void OnIdentify();
    LRESULT OnVerifyAnswer(WPARAM packet, LPARAM);
    LRESULT OnIdentifyAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniIdentifyAnswer(WPARAM frame, LPARAM);

    // A General identification answer while the battery life test runs:
    // handed to the service flow, which owns the test.
    void BatteryTestStep(WPARAM packet, LPARAM lParam);
};
