#pragma once
// Minutiae: GET MINUTIAE asks the module to read a finger and saves the
// 400-byte record it delivers to a minutiae file; INSTANT MATCHING sends the
// record of a saved file back, and the module matches a live finger against
// it. General protocol only.
//
// The record is opaque: written and read as raw bytes, never interpreted. A
// file too short to hold a record, a file that cannot be opened or created,
// and an answer that delivers less than a record are reported; nothing is
// then sent and no file is written.
#include <cstdint>

#include "console/AnswerTable.h"
#include "console/ConsoleFlow.h"

// File dialogs for minutiae files.
extern const char kMinutiaeFilter[];   // "MIN files(*.min)|*.min|All files|*.*|"
extern const char kMinutiaeDefExt[];   // "*.MIN"

class CMinutiaeFlow : public CConsoleFlow {
public:
    explicit CMinutiaeFlow(IConsoleContext& console) : CConsoleFlow(console) {}

    bool OnCommand(int id, int code) override;

private:
    void OnAnswer(const CReply& reply) override;
    void OnGetMinutiae();
    void OnInstantMatching();
    void OnGetMinutiaeAnswer(const CReply& reply);
    void OnInstantMatchAnswer(const CReply& reply);

    // Shows text in the warning form of the message prompt and detail (the
    // path and the system's reason) in the status line.
    void Report(const QString& text, const QString& detail);
};
