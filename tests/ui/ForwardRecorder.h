#pragma once
// The console as a flow sees it, with ForwardTo recorded instead of passed
// on: everything else is the real form's. For testing what a flow hands to
// another flow before that flow is involved.
#include <vector>

#include "app/PravikView.h"
#include "console/ConsoleContext.h"

namespace console_test {

class CForwardRecorder : public IConsoleContext {
public:
    explicit CForwardRecorder(CPravikView& view) : m_View(view) {}
    struct SForward {
        int flow;
        UINT msg;
        WPARAM wParam;
    };
    std::vector<SForward> forwards;

    LRESULT ForwardTo(int flow, UINT msg, WPARAM wParam, LPARAM) override {
        forwards.push_back({flow, msg, wParam});
        return 1;
    }
    CModuleClient& Client() override { return m_View.Client(); }
    QWidget* Form() override { return m_View.Form(); }
    CMsgDlg& MsgDlg() override { return m_View.MsgDlg(); }
    CWaitDlg& WaitDlg() override { return m_View.WaitDlg(); }
    CCaptureMsg& CaptureMsg() override { return m_View.CaptureMsg(); }
    CLiftDlg& LiftDlg() override { return m_View.LiftDlg(); }
    void ShowPrompt(int form, const QString& text) override { m_View.ShowPrompt(form, text); }
    void SetStatusText(const QString& text) override { m_View.SetStatusText(text); }
    QString StatusText() const override { return m_View.StatusText(); }
    void SetLabel(int id, const QString& text) override { m_View.SetLabel(id, text); }
    QString Label(int id) const override { return m_View.Label(id); }
    void SetItemText(int id, const QString& text) override { m_View.SetItemText(id, text); }
    QString ItemText(int id) const override { return m_View.ItemText(id); }
    void EnableItem(int id, bool enable) override { m_View.EnableItem(id, enable); }
    bool IsItemEnabled(int id) const override { return m_View.IsItemEnabled(id); }
    SConsoleState& State() override { return m_View.State(); }
    void SetLayout(int layout) override { m_View.SetLayout(layout); }
    void SelectBoard(int board) override { m_View.SelectBoard(board); }
    IUiOperator& Operator() override { return m_View.Operator(); }
    IMessageLoop& MessageLoop() override { return m_View.MessageLoop(); }
    CSerialSettings& Settings() override { return m_View.Settings(); }
    void SaveSettings() override { m_View.SaveSettings(); }
    void SetBusy(bool busy) override { m_View.SetBusy(busy); }
    void NotifyLinkClosed() override { m_View.NotifyLinkClosed(); }
    void NotifyChecksumError() override { m_View.NotifyChecksumError(); }
    void NotifyCancelSent() override { m_View.NotifyCancelSent(); }

private:
    CPravikView& m_View;
};

}  // namespace console_test
