#pragma once
// The battery life test's window (dialog 161, modeless): how many voltage
// checks found the supply high and how many found it low, a busy animation
// and Cancel. The main form is disabled while it is open. Cancel only closes
// the window; the service flow ends the test when the next answer finds it
// gone. The counts start from 0 each time the window opens.
#include <cstdint>

#include "widgets/ModelessPrompt.h"

class CAnimateCtrl;
class QWidget;

constexpr int IDD_BATTERYDLG = 161;
constexpr int IDC_BATTERY_LOW_COUNT = 1013;
constexpr int IDC_BATTERY_HIGH_COUNT = 1014;
constexpr int IDC_BATTERY_ANIMATION = 1068;

class CBatteryDlg : public CModelessPrompt {
    Q_OBJECT
public:
    explicit CBatteryDlg(QObject* parent = nullptr) : CModelessPrompt(parent) {}

    // Disables parent and shows the window with both counts at 0 and the
    // busy animation playing.
    bool Create(QWidget* parent);

    // Write the count as a decimal number into its edit box.
    void ShowHighCount();
    void ShowLowCount();

    // The open window's animation control, or nullptr.
    CAnimateCtrl* Animation() const;

    std::int32_t m_nHighCount = 0;
    std::int32_t m_nLowCount = 0;

private:
    class CWindow;
    void OnDestroyWindow(CTemplateDialog* window) override;
};
