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
extern const SAnswerRow kEnrollRows[];        // 1054, CMD_ENROLL
extern const std::size_t kEnrollRowCount;
extern const SAnswerRow kEnroll2Rows[];       // 1055, CMD_ENROLL2
extern const std::size_t kEnroll2RowCount;
extern const SAnswerRow kEnrollExRows[];      // 1077, CMD_ENROLL_EX (the second scan's success)
extern const std::size_t kEnrollExRowCount;
extern const SAnswerRow kMiniEnrollRows[];    // 1132 (the second scan's success)
extern const std::size_t kMiniEnrollRowCount;
extern const SAnswerRow kDeleteRows[];        // 1057, CMD_DELETE
extern const std::size_t kDeleteRowCount;
extern const SAnswerRow kMiniDeleteRows[];    // 1128 and 1129
extern const std::size_t kMiniDeleteRowCount;

class CEnrollFlow : public CConsoleFlow {
public:
    explicit CEnrollFlow(IConsoleContext& console) : CConsoleFlow(console) {}

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;

    // Enrolment type of the enrolment in progress: 0 user, 1 master; sent
    // with every General enrol request.
    std::int32_t m_nEnrollType = 0;
    // 1 from a Minimized ENROLL until its first successful answer.
    std::int32_t m_nMiniEnrollStep = 0;

private:
    void OnEnroll();
    void OnDelete();
    LRESULT OnEnrollAnswer(WPARAM packet, LPARAM);
    LRESULT OnEnroll2Answer(WPARAM packet, LPARAM);
    LRESULT OnEnrollExAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniEnrollAnswer(WPARAM frame, LPARAM);
    LRESULT OnDeleteAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniDeleteAnswer(WPARAM frame, LPARAM);

    void SetCount(std::uint32_t count);
    // The lift prompt between the two scans; true when the operator pressed OK.
    bool AskLift();
};
