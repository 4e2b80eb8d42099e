#pragma once
// The system information window (template 153, "System Information"): the
// image option (gain, brightness, contrast), the two security levels, the
// capture period, the latent and log check boxes, and SET DEFAULT OPTION. A
// modeless window opened and closed from the View menu; the object (with its
// form values, defaults and default-run flag) lives as long as the main form.
//
// The window sends nothing itself: each button is posted to its owner (the
// main form's side of the window) as WM_SYSINFO_BUTTON with the control ID,
// and opening the window posts WM_SYSINFO_READ to the owner, which reads the
// options. The owner hands the finished record back with WM_SYSINFO_FORWARD
// (wParam: the SSysInfoRecord) through WindowProc.
#include <QObject>
#include <QString>

#include "platform/core/Messages.h"
#include "tools/SysInfoRecord.h"
#include "tools/ToolWindow.h"

class CMsgTarget;
class IOperator;
class QWidget;

constexpr int IDD_SYSTEM_INFO = 153;
constexpr int IDC_SI_GAIN = 1013;
constexpr int IDC_SI_BRIGHTNESS = 1014;
constexpr int IDC_SI_CONTRAST = 1015;
constexpr int IDC_SI_VERIFY = 1016;
constexpr int IDC_SI_IDENTIFY = 1017;
constexpr int IDC_SI_LATENT = 1018;
constexpr int IDC_SI_LOG = 1021;
constexpr int IDC_SI_CAPTURE_PERIOD = 1022;
constexpr int IDC_SI_MODULE_LABEL = 1105;
constexpr int IDC_SI_SET_IMAGE = 1028;
constexpr int IDC_SI_SET_SECURITY = 3;
constexpr int IDC_SI_SET_LATENT = 4;
constexpr int IDC_SI_SET_LOG = 6;
constexpr int IDC_SI_SET_CAPTURE_PERIOD = 7;
constexpr int IDC_SI_SET_DEFAULT = 1104;
constexpr int IDC_SI_GET_INFO = 1020;

// Window to owner: a button was pressed (wParam: its control ID).
constexpr UINT WM_SYSINFO_BUTTON = WM_USER + 0x320;

class CSysInfoDlg : public QObject, public CToolWindow {
    Q_OBJECT
public:
    explicit CSysInfoDlg(QObject* parent = nullptr);
    ~CSysInfoDlg() override;

    // Creates the window centred over parent: the defaults back to their
    // first values, the default-run flag cleared, the module type label set,
    // the form values shown; then posts WM_SYSINFO_READ to owner.
    bool Create(QWidget* parent, CMsgTarget* owner);

    // WM_SYSINFO_FORWARD: copies the record into the form values and shows them.
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Reads the form field by field (gain, contrast, brightness,
    // identification, verification, latent, log, capture period), stopping at
    // the first field that is not a whole number ("Please enter an integer.")
    // or out of range ("Please enter an integer between %1 and %2."), shown
    // through op, with the focus put on that field. A whole number out of
    // range is still taken. True when every field passed.
    bool ReadForm(IOperator& op);
    // The check boxes as the operator sees them.
    bool IsLatentChecked() const;
    bool IsLogChecked() const;
    // Chooses the defaults of m_nModuleType (unchanged for an unknown type).
    void ChooseDefaults() { DefaultsForModule(m_nModuleType, m_Defaults); }

    // Form values.
    std::int32_t m_nGain = 2;
    std::int32_t m_nContrast = 20;
    std::int32_t m_nBrightness = 40;
    std::int32_t m_nIdentifyLevel = 8;
    std::int32_t m_nVerifyLevel = 5;
    std::int32_t m_nDbInitOption = 0;
    std::int32_t m_nLatentOption = 1;
    std::int32_t m_nLogOption = 0;
    std::int32_t m_nCapturePeriod = 5;

    // The board the window works on: the defaults SET DEFAULT OPTION writes
    // and the label of an open window follow it.
    void SetModuleType(int moduleType);

    // The main form's module type, copied each time the View command runs
    // and each time another board is chosen or connected.
    int m_nModuleType = 0;
    SSysInfoDefaults m_Defaults;
    // A SET DEFAULT OPTION run is under way.
    bool m_bDefaultRun = false;

    static QString ModuleLabel(int moduleType);

signals:
    void Closed();

private:
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnWindowClosed() override { emit Closed(); }
    void ShowValues();

    CMsgTarget* m_pOwner = nullptr;
};
