#pragma once
// The main form's side of the database manager: View > Database Manager
// opens and closes the window (with its check mark), the window's buttons
// arrive here as messages, and the list answers are chained and stored in the
// form's CFpList: fingerprint list, then master list (commands 40/41 below
// firmware level 0x103, else 48/49), then the rows go to the open window.
// DELETE RECORD, the three DELETE ALL buttons, SET and RESET MASTER ask first;
// STATUS CHECK and CANCEL are handed to the service flow, which sends them as
// the main form's STATUS and CANCEL and shows their answers.
//
// A successful DELETE RECORD (shown as the main form's DELETE) or DELETE ALL
// reads the list again (also with the window closed: the answers are then
// only stored).
#include <QString>
#include <cstdint>

#include "console/ConsoleFlow.h"
#include "ops/Connection.h"
#include "tools/DbMgrDlg.h"
#include "ops/FpList.h"

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
    void OnAnswer(const CReply& reply) override;
    void OnViewDbManager();
    LRESULT OnButton(WPARAM id, LPARAM);
    void OnFpList(const CReply& reply);
    void OnMasterList(const CReply& reply);
    void OnFpListEx(const CReply& reply);
    void OnMasterListEx(const CReply& reply);
    void OnDelete(const CReply& reply);
    void OnDeleteAll(const CReply& reply);
    void OnSetMaster(const CReply& reply);

    void DeleteRecord();
    void DeleteAll(std::uint32_t which, const char* question);
    void ChangeMaster(int mode);
    bool Ask(const char* question);
    void ShowForwarded(UINT msg);
};
