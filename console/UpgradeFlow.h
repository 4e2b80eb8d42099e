#pragma once
// Tools > Upgrade Firmware: the file dialog (Intel HEX on "ZEL12" boards, raw
// BIN on the others), the progress window with its guarded CANCEL, and the
// replies to every record or chunk up to the completion text. What to send
// next is decided by CUpgradeSession; the upgrade owns the link while it
// runs. Every ending closes the progress window, gives the link back and
// leaves the flow idle: completion, a refusal by the module, a file that
// breaks part-way, no answer after the last re-send, the link closing, and
// the operator abandoning it.
#include "console/ConsoleFlow.h"
#include "console/ProgDlg.h"
#include "protocol/UpgradeSession.h"

class CUpgradeFlow : public CConsoleFlow {
public:
    explicit CUpgradeFlow(IConsoleContext& console);
    ~CUpgradeFlow() override;

    bool OnCommand(int id, int code) override;
    void OnLinkClosed() override;

    CProgDlg& ProgDlg() { return m_ProgDlg; }
    const CUpgradeSession& Session() const { return m_Session; }
    bool IsRunning() const { return m_Session.IsRunning(); }

private:
    void OnAnswer(const CReply& reply) override { OnUpgradeReply(reply); }
    void OnExchangeEnded(const CReply& reply) override { OnUpgradeReply(reply); }
    void OnUpgradeFirmware();
    void OnUpgradeReply(const CReply& reply);
    // Closes the progress window, forgets the upgrade and gives the link back.
    void Finish();
    void Report(const SUpgradeError& error);

    CProgDlg m_ProgDlg;
    CUpgradeSession m_Session;
    bool m_bAsking = false;  // the quit question is open
};
