#pragma once
// The log data window (template 154): a modeless window of the View menu that
// asks the module for its event log and, when the main form hands it the
// finished store (message 1068), offers to save the records as a text file,
// one line per record, and closes.
//
// The object lives with the main form's log flow; its window exists only while
// open. It sends its requests through the packet manager; every answer goes to
// the main form, which collects the records in its store.
#include <QString>
#include <functional>
#include <string>

#include "platform/core/MessageLoop.h"
#include "tools/ToolWindow.h"

class CLogData;
class IUiOperator;
class QWidget;

constexpr int IDD_LOG_DATA = 154;
constexpr int IDC_LOG_READ = 1032;         // READ && SAVE LOG DATA
constexpr int IDC_LOG_NTH_PREVIOUS = 1092; // search type 0
constexpr int IDC_LOG_OLDEST_UNREAD = 1093;
constexpr int IDC_LOG_LAST_WRITTEN = 1094;
constexpr int IDC_LOG_ALL = 1095;
constexpr int IDC_LOG_UNREAD_TO_LAST = 1096;  // search type 4
constexpr int IDC_LOG_N = 1097;
constexpr int IDC_LOG_CANCEL = 1098;
constexpr int IDC_LOG_STATUS = 1099;

constexpr int LOG_N_MIN = 0;
constexpr int LOG_N_MAX = 2047;

// The log text file.
constexpr const char* LOG_FILE_FILTER = "LOG files(*.log)|*.log|All files|*.*|";
constexpr const char* LOG_FILE_EXT = "LOG";

class CLogDataDlg : public CMsgTarget, public CToolWindow {
public:
    CLogDataDlg(IMessageLoop& loop, IUiOperator& op);
    ~CLogDataDlg() override;

    // Creates the window as a modeless child of parent, centred over it, and
    // shows it. True when open (also when it was open already).
    using CToolWindow::Create;
    // The View menu command: close when open, open otherwise.
    using CToolWindow::Toggle;

    // WM_LOG_FORWARD (wParam: the finished CLogData): the save step.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The board the window reads from: 0 (ZEL12) reads with CMD_GET_LOG
    // (no search type to choose), any other with CMD_GET_LOG_EX. An open
    // window whose request form changes shows the controls of the new form.
    void SetModuleType(int moduleType);

    // 0 (ZEL12) reads with CMD_GET_LOG, any other value with CMD_GET_LOG_EX.
    int m_nModuleType = 0;
    int m_nSearchType = 0;  // 0..4, from the radio buttons
    int m_nN = 0;           // the N of "Nth previous log"

    // READ asks the log flow for the log: searchType -1 for the older
    // request's whole log, else the search type and its value. STATUS and
    // CANCEL do what the main form's buttons of those names do. The log
    // flow supplies all three.
    std::function<void(int searchType, std::uint32_t value)> m_fnRead;
    std::function<void()> m_fnStatus;
    std::function<void()> m_fnCancel;

private:
    bool OnCommand(int id, int code) override;
    void OnInitDialog() override;
    // The search controls of the request form: disabled for the older one;
    // for the newer one enabled, "Nth previous log" chosen.
    void ShowRequestForm();
    void OnRead();
    void OnStatus();
    void OnCancelCommand();
    void OnSearchType(int type);
    void OnNChanged();
    void UpdateReadButton();
    void SaveLog(CLogData& store);
    // Writes every record of store to path, one CR LF line each, whole or
    // not at all; the reason when it cannot.
    static std::string WriteLogFile(CLogData& store, const std::string& path, bool& written);

    IUiOperator& m_Operator;
    bool m_bSaving = false;
    bool m_bFilling = false;  // the window fills the N field itself
    bool m_bNValid = true;    // the N field holds a number from 0 to 2047
};
