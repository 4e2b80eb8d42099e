#pragma once
// The module's service functions: STATUS, CANCEL (also for the tool windows'
// buttons of those names), Tools > Check Low Voltage and Tools > Q/A Test >
// Battery Life Test. The battery test repeats an identification followed by
// a voltage check and counts the checks that found the supply high and low,
// until the operator closes its window. It sends its identifications itself,
// so their answers come here; it owns the link while its window is open.
#include "console/BatteryDlg.h"
#include "console/ConsoleFlow.h"

class CServiceFlow : public CConsoleFlow {
public:
    explicit CServiceFlow(IConsoleContext& console);
    ~CServiceFlow() override;

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int id, int code) override;
    void OnLinkClosed() override;

    CBatteryDlg& BatteryDlg() { return m_BatteryDlg; }
    bool IsBatteryTestRunning() const { return m_bBatteryTest; }

private:
    void OnAnswer(const CReply& reply) override;
    void OnExchangeEnded(const CReply& reply) override;
    void OnStatus();
    void OnCancel();
    void OnCheckVoltage();
    void OnBatteryTest();
    void OnStatusAnswer(const CReply& reply);
    void OnMiniStatusAnswer(const CReply& reply);
    void OnCancelAnswer(const CReply& reply);
    void OnVoltageAnswer(const CReply& reply);
    void OnIdentifyAnswer(const CReply& reply);

    void ShowStatus(const char* text);
    // The next step of the battery test; the test ends when it is not sent.
    void BatteryStep(SRequest request);
    // The battery window was closed: say so and end the test.
    void EndBatteryTest();
    // The test is over, nothing said.
    void StopBatteryTest();

    CBatteryDlg m_BatteryDlg;
    // The battery life test runs: its identifications and voltage checks
    // are answered here.
    bool m_bBatteryTest = false;
};
