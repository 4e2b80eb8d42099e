#pragma once
// Tools > Upgrade Firmware: the file dialog (Intel HEX on "ZEL12" boards, raw
// BIN on the others), the progress window with its guarded CANCEL, and the
// answers to every record or chunk (notification 1105) up to the completion
// text. The transfer itself is the packet manager's; what to send next is
// decided by CUpgradeSession. Every ending closes the progress window and
// leaves the flow idle: completion, a refusal by the module, a file that
// breaks part-way, the packet manager giving up after its re-sends
// (WM_FW_TRANSFER_ENDED), the link closing, and the operator abandoning it.
#include "console/ConsoleFlow.h"
#include "console/ProgDlg.h"
#include "protocol/UpgradeSession.h"

class CUpgradeFlow : public CConsoleFlow {
public:
    explicit CUpgradeFlow(IConsoleContext& console);
    ~CUpgradeFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    void OnLinkClosed() override;

    CProgDlg& ProgDlg() { return m_ProgDlg; }
    const CUpgradeSession& Session() const { return m_Session; }
    bool IsRunning() const { return m_Session.IsRunning(); }

private:
    void OnUpgradeFirmware();
    LRESULT OnUpgradeAnswer(WPARAM packet, LPARAM);
    LRESULT OnTransferEnded(WPARAM command, LPARAM);
    // Closes the progress window and forgets the upgrade.
    void Finish();

    CProgDlg m_ProgDlg;
    CUpgradeSession m_Session;
    bool m_bAsking = false;  // the quit question is open
};
