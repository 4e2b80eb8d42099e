#pragma once
// Enrolment and deletion: ENROLL with the Register Fingerprint dialog and the
// two scans in the three forms (CMD_ENROLL + CMD_ENROLL2 on a "ZEL12" board,
// CMD_ENROLL_EX twice with the lift prompt on the other boards, the Minimized
// enrol frame twice with the lift prompt), DELETE in both protocols, and the
// answers with the fingerprint count label.
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

// The answer tables, in the order their codes are tested. A row's success
// action (the next request, the count label) is taken by the handler.
extern const SAnswerRow kEnrollRows[];        // CMD_ENROLL
extern const std::size_t kEnrollRowCount;
extern const SAnswerRow kEnroll2Rows[];       // CMD_ENROLL2
extern const std::size_t kEnroll2RowCount;
extern const SAnswerRow kEnrollExRows[];      // CMD_ENROLL_EX (the second scan's success)
extern const std::size_t kEnrollExRowCount;
extern const SAnswerRow kMiniEnrollRows[];    // the Minimized enrol (the second scan's success)
extern const std::size_t kMiniEnrollRowCount;
extern const SAnswerRow kDeleteRows[];        // CMD_DELETE (also the database manager's)
extern const std::size_t kDeleteRowCount;
extern const SAnswerRow kMiniDeleteRows[];    // the Minimized delete and delete all
extern const std::size_t kMiniDeleteRowCount;

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
