#pragma once
// Enrolment and deletion: ENROLL with the Register Fingerprint dialog and the
// two scans in the three forms (CMD_ENROLL + CMD_ENROLL2 on a "ZEL12" board,
// CMD_ENROLL_EX twice with the lift prompt on the other boards, the Minimized
// enrol frame twice with the lift prompt), DELETE in both protocols, and the
// answers with the fingerprint count label.
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

// "Fingerprint Count: N" in the count label.
void ShowFingerprintCount(IConsoleContext& console, std::uint32_t count);

class CEnrollFlow : public CConsoleFlow {
public:
    explicit CEnrollFlow(IConsoleContext& console) : CConsoleFlow(console) {}

    bool OnCommand(int id, int code) override;

    // Enrolment type of the enrolment in progress: 0 user, 1 master; sent
    // with every General enrol request.
    std::int32_t m_nEnrollType = 0;

private:
    void OnAnswer(const CReply& reply) override;
    void OnEnroll();
    void OnDelete();
    void OnEnrollAnswer(const CReply& reply);
    void OnEnroll2Answer(const CReply& reply);
    void OnEnrollExAnswer(const CReply& reply);
    void OnMiniEnrollAnswer(const CReply& reply);
    void OnDeleteAnswer(const CReply& reply);
    void OnMiniDeleteAnswer(const CReply& reply);

    // The lift prompt between the two scans; true when the operator pressed OK.
    bool AskLift();
};
