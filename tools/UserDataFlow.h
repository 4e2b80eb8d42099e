#pragma once
// The main form's side of the user data window: the View menu toggle and its
// check mark, and the answers to CMD_READ_USER_DATA (the bytes go to the open
// window), CMD_WRITE_USER_DATA and CMD_ERASE_USER_DATA (outcomes in the
// message prompt).
#include "console/ConsoleFlow.h"
#include "tools/UserDataDlg.h"

class CUserDataFlow : public CConsoleFlow {
public:
    explicit CUserDataFlow(IConsoleContext& console);

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    bool IsMenuChecked(int command) const override;

    CUserDataDlg& Dialog() { return m_Dlg; }

private:
    void OnViewUserData();
    LRESULT OnReadAnswer(WPARAM packet, LPARAM);
    LRESULT OnWriteAnswer(WPARAM packet, LPARAM);
    LRESULT OnEraseAnswer(WPARAM packet, LPARAM);

    CUserDataDlg m_Dlg;
};
