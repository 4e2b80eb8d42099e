#pragma once
// Verification and identification: VERIFY checks a live finger, or an ID's
// password, against one enrolled ID (General protocol only); IDENTIFY
// searches the whole database for the live finger, in both protocols. One
// request, one answer; the answers are shown from the tables in
// ops/Answers.cpp. (The battery life test sends identifications of its own;
// their answers go to the service flow, which sent them.)
#include <QString>
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

class CPacket;

// The identified ID of a successful identification answer: the text at the
// start of its data, ending at the first zero, at the ninth character or at
// the end of the data the answer carried.
QString IdentifiedId(const CPacket& answer);

class CVerifyFlow : public CConsoleFlow {
public:
    explicit CVerifyFlow(IConsoleContext& console);

    bool OnCommand(int id, int code) override;

private:
    void OnAnswer(const CReply& reply) override;
    void OnVerify();
    void OnIdentify();
    void OnVerifyAnswer(const CReply& reply);
    void OnIdentifyAnswer(const CReply& reply);
    void OnMiniIdentifyAnswer(const CReply& reply);
};
