#pragma once
// The module's service functions: STATUS, CANCEL, Tools > Check Low Voltage
// and Tools > Q/A Test > Battery Life Test. The battery test repeats an
// identification followed by a voltage check and counts the checks that
// found the supply high and low, until the operator closes its window; while
// it runs (State().m_bBatteryTest) the verification flow hands it the
// identification answers (ForwardTo FLOW_SERVICE).
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

private:
    void OnStatus();
    void OnCancel();
    void OnCheckVoltage();
    void OnBatteryTest();
    LRESULT OnStatusAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniStatusAnswer(WPARAM frame, LPARAM);
    LRESULT OnCancelAnswer(WPARAM packet, LPARAM);
    LRESULT OnMiniCancelAnswer(WPARAM frame, LPARAM);
    LRESULT OnVoltageAnswer(WPARAM packet, LPARAM);
    LRESULT OnIdentifyAnswer(WPARAM, LPARAM);

    void ShowStatus(const char* text);
    void ShowCancelResult(std::int32_t result);
    // The battery window was closed: say so and end the test.
    void EndBatteryTest();

    CBatteryDlg m_BatteryDlg;
};
