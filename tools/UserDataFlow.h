#pragma once
// The main form's side of the user data window: the View menu toggle and its
// check mark, the window's requests, and their answers: CMD_READ_USER_DATA
// (the bytes go to the open window), CMD_WRITE_USER_DATA and
// CMD_ERASE_USER_DATA (outcomes in the message prompt).
#include "console/ConsoleFlow.h"
#include "tools/UserDataDlg.h"

class CUserDataFlow : public CConsoleFlow {
public:
    explicit CUserDataFlow(IConsoleContext& console);

    bool OnCommand(int id, int code) override;
    bool IsMenuChecked(int command) const override;

    CUserDataDlg& Dialog() { return m_Dlg; }

private:
    void OnAnswer(const CReply& reply) override;
    void OnViewUserData();
    void OnReadAnswer(const CReply& reply);
    void OnWriteAnswer(const CReply& reply);
    void OnEraseAnswer(const CReply& reply);

    CUserDataDlg m_Dlg;
};
