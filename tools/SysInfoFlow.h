#pragma once
// The main form's side of the system information window. View > System
// Information opens and closes the window (with its check mark); opening it
// and GET SYSTEM INFORMATION run the read sequence: image option, security
// levels, latent option, log option, capture period, each request sent by
// the previous answer, the record forwarded to the window after the last.
// The SET buttons read the form and send one request each; SET DEFAULT
// OPTION writes the module type's defaults in a chain (image option,
// security levels, latent, log, capture period) and reads everything back,
// then shows "To set default option is succeeded." once.
#include <cstddef>
#include <cstdint>

#include "console/ConsoleFlow.h"
#include "tools/SysInfoDlg.h"
#include "tools/SysInfoRecord.h"

class CPacket;
struct SAnswerRow;

class CSysInfoFlow : public CConsoleFlow {
public:
    explicit CSysInfoFlow(IConsoleContext& console);
    ~CSysInfoFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    bool IsMenuChecked(int command) const override;
    // An open window follows the board: its label and its defaults.
    void OnBoardChanged() override;

    SSysInfoRecord m_Record;
    CSysInfoDlg m_Dlg;

private:
    void OnViewSystemInfo();
    LRESULT OnButton(WPARAM id, LPARAM);
    LRESULT OnRead(WPARAM, LPARAM);
    LRESULT OnSetOppOption(WPARAM packet, LPARAM);
    LRESULT OnSetSecurityLevel(WPARAM packet, LPARAM);
    LRESULT OnSetLatentOption(WPARAM packet, LPARAM);
    LRESULT OnSetLogOption(WPARAM packet, LPARAM);
    LRESULT OnSetCapturePeriod(WPARAM packet, LPARAM);
    LRESULT OnSetDbInitOption(WPARAM packet, LPARAM);
    LRESULT OnGetOppOption(WPARAM packet, LPARAM);
    LRESULT OnGetSecurityLevel(WPARAM packet, LPARAM);
    LRESULT OnGetLatentOption(WPARAM packet, LPARAM);
    LRESULT OnGetLogOption(WPARAM packet, LPARAM);
    LRESULT OnGetCapturePeriod(WPARAM packet, LPARAM);
    LRESULT OnGetDbInitOption(WPARAM packet, LPARAM);

    // A set answer: true when the default run goes on with its next step.
    // Otherwise shows the answer's text (a success only outside a default
    // run); a failure ends a default run.
    bool SetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count);
    // A get answer: true on success; otherwise its text, and the sequence ends.
    bool GetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count);
};
