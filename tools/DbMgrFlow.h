#pragma once
// The main form's side of the database manager: View > Database Manager
// opens and closes the window (with its check mark), the window's buttons
// arrive here as messages, and the list answers are chained and stored in the
// form's CFpList: fingerprint list, then master list (commands 40/41 below
// firmware level 0x103, else 48/49), then the rows go to the open window.
// DELETE RECORD, the three DELETE ALL buttons, SET and RESET MASTER ask first;
// STATUS CHECK and CANCEL send as the main form's STATUS and CANCEL do, whose
// flow shows their answers.
//
// Refresh after a deletion: DELETE RECORD sets State().m_bRefreshAfterDelete;
// the enrolment flow, on a successful delete answer with the flag set, clears
// it and forwards WM_DBMGR_REFRESH here, which reads the list again. A
// successful DELETE ALL always reads it again (also with the window closed:
// the answers are then only stored).
#include <QString>
#include <cstdint>

#include "console/ConsoleFlow.h"
#include "tools/DbMgrDlg.h"
#include "tools/FpList.h"

// The firmware level from which the newer list commands (48/49) are used.
constexpr std::int32_t FIRMWARE_LEVEL_LIST_EX = 0x103;

class CDbMgrFlow : public CConsoleFlow {
public:
    explicit CDbMgrFlow(IConsoleContext& console);
    ~CDbMgrFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    bool IsMenuChecked(int command) const override;

    // GET FINGERPRINT LIST: empties the window's list and sends the list
    // command of the firmware level.
    void GetFingerprintList();

    CFpList m_FpList;
    CDbMgrDlg m_Dlg;

private:
    void OnViewDbManager();
    LRESULT OnButton(WPARAM id, LPARAM);
    LRESULT OnRefresh(WPARAM, LPARAM);
    LRESULT OnFpList(WPARAM packet, LPARAM);
    LRESULT OnMasterList(WPARAM packet, LPARAM);
    LRESULT OnFpListEx(WPARAM packet, LPARAM);
    LRESULT OnMasterListEx(WPARAM packet, LPARAM);
    LRESULT OnDeleteAll(WPARAM packet, LPARAM);
    LRESULT OnSetMaster(WPARAM packet, LPARAM);

    void DeleteRecord();
    void DeleteAll(std::uint32_t which, const char* question);
    void ChangeMaster(int mode);
    void StatusCheck();
    void Cancel();
    bool Ask(const char* question);
    void ShowForwarded(UINT msg);
};
