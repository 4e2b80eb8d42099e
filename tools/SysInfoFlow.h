#pragma once
// The main form's side of the system information window. View > System
// Information opens and closes the window (with its check mark); opening it
// and GET SYSTEM INFORMATION run the read sequence: image option, security
// levels, latent option, log option, capture period, each request sent by
// the previous answer, the record forwarded to the window after the last.
// The SET buttons read the form and send one request each; SET DEFAULT
// OPTION writes the module type's defaults in a chain (image option,
// security levels, latent, log, capture period) and reads everything back,
// then shows "To set default option is succeeded." once. The run ends at
// its first failure, at a request that ends without an answer, when the
// link closes and when the operator presses another button.
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
    void OnLinkClosed() override { m_Dlg.m_bDefaultRun = false; }
    // An open window follows the board: its label and its defaults.
    void OnBoardChanged() override;

    SSysInfoRecord m_Record;
    CSysInfoDlg m_Dlg;

private:
    void OnAnswer(const CReply& reply) override;
    void OnExchangeEnded(const CReply& reply) override;
    void OnViewSystemInfo();
    LRESULT OnButton(WPARAM id, LPARAM);
    LRESULT OnRead(WPARAM, LPARAM);
    void OnSetOppOption(const CReply& reply);
    void OnSetSecurityLevel(const CReply& reply);
    void OnSetLatentOption(const CReply& reply);
    void OnSetLogOption(const CReply& reply);
    void OnSetCapturePeriod(const CReply& reply);
    void OnSetDbInitOption(const CReply& reply);
    void OnGetOppOption(const CReply& reply);
    void OnGetSecurityLevel(const CReply& reply);
    void OnGetLatentOption(const CReply& reply);
    void OnGetLogOption(const CReply& reply);
    void OnGetCapturePeriod(const CReply& reply);
    void OnGetDbInitOption(const CReply& reply);

    // A set answer: true when the default run goes on with its next step.
    // Otherwise shows the answer's text (a success only outside a default
    // run); a failure ends a default run.
    bool SetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count);
    // A get answer: true on success; otherwise its text, and the sequence ends.
    bool GetAnswer(const CPacket& answer, const SAnswerRow* rows, std::size_t count);
    // The next request of a default run or of the read sequence; a request
    // not sent ends a default run.
    void DefaultStep(SRequest request);
    void ReadStep(std::uint32_t command);
};
