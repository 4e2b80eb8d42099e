#include "tools/SysInfoDlg.h"

#include <QLineEdit>

#include "console/ConsoleMessages.h"
#include "platform/core/MessageLoop.h"
#include "platform/core/Operator.h"
#include "widgets/DialogTemplate.h"

CSysInfoDlg::CSysInfoDlg(QObject* parent) : QObject(parent), CToolWindow(IDD_SYSTEM_INFO) {}

CSysInfoDlg::~CSysInfoDlg() = default;

// Every button goes to the owner; CLOSE, Escape and the close box destroy the
// window, Return presses GET SYSTEM INFORMATION (the default button).
bool CSysInfoDlg::OnCommand(int id, int code) {
    static const int kButtons[] = {IDC_SI_SET_IMAGE, IDC_SI_SET_SECURITY,       IDC_SI_SET_LATENT,
                                   IDC_SI_SET_LOG,   IDC_SI_SET_CAPTURE_PERIOD, IDC_SI_SET_DEFAULT,
                                   IDC_SI_GET_INFO};
    return PostButton(m_pOwner, WM_SYSINFO_BUTTON, kButtons, id, code);
}

QString CSysInfoDlg::ModuleLabel(int moduleType) {
    switch (moduleType) {
    case 0: return "Module Type: ZEL12";
    case 1: return "Module Type: Pell";
    case 2: return "Module Type: QOR10-HV";
    case 3: return "Module Type: QOR10-LV";
    default: return QString();
    }
}

void CSysInfoDlg::SetModuleType(int moduleType) {
    m_nModuleType = moduleType;
    const QString label = ModuleLabel(moduleType);
    if (IsOpen() && !label.isEmpty()) SetDlgItemText(Dialog(), IDC_SI_MODULE_LABEL, label);
}

bool CSysInfoDlg::Create(QWidget* parent, CMsgTarget* owner) {
    if (IsOpen()) return true;
    m_pOwner = owner;
    if (!CToolWindow::Create(parent)) return false;
    // The form is filled from the module each time the window opens.
    if (owner) owner->PostMessage(WM_SYSINFO_READ);
    return true;
}

void CSysInfoDlg::OnInitDialog() {
    m_Defaults = SSysInfoDefaults{};
    m_bDefaultRun = false;
    // An unknown type leaves the label as it was (empty at first).
    const QString label = ModuleLabel(m_nModuleType);
    if (!label.isEmpty()) SetDlgItemText(Dialog(), IDC_SI_MODULE_LABEL, label);
    ShowValues();
}

LRESULT CSysInfoDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM) {
    if (!IsOpen() || msg != WM_SYSINFO_FORWARD || !wParam) return 0;
    const auto& record = *reinterpret_cast<const SSysInfoRecord*>(wParam);
    m_nGain = record.m_nGain;
    m_nBrightness = record.m_nBrightness;
    m_nContrast = record.m_nContrast;
    m_nVerifyLevel = record.m_nVerifyLevel;
    m_nIdentifyLevel = record.m_nIdentifyLevel;
    m_nDbInitOption = record.m_nDbInitOption;
    m_nLatentOption = record.m_nLatentOption;
    m_nLogOption = record.m_nLogOption;
    m_nCapturePeriod = record.m_nCapturePeriod;
    ShowValues();
    return 1;
}

void CSysInfoDlg::ShowValues() {
    QWidget* wnd = Dialog();
    if (!wnd) return;
    const struct { int id; std::int32_t value; } edits[] = {
        {IDC_SI_GAIN, m_nGain},           {IDC_SI_BRIGHTNESS, m_nBrightness}, {IDC_SI_CONTRAST, m_nContrast},
        {IDC_SI_VERIFY, m_nVerifyLevel},  {IDC_SI_IDENTIFY, m_nIdentifyLevel},
        {IDC_SI_CAPTURE_PERIOD, m_nCapturePeriod},
    };
    for (const auto& edit : edits) SetDlgItemText(wnd, edit.id, QString::number(edit.value));
    CheckDlgButton(wnd, IDC_SI_LATENT, m_nLatentOption != 0);
    CheckDlgButton(wnd, IDC_SI_LOG, m_nLogOption != 0);
}

bool CSysInfoDlg::IsLatentChecked() const { return IsOpen() && IsDlgButtonChecked(Dialog(), IDC_SI_LATENT); }

bool CSysInfoDlg::IsLogChecked() const { return IsOpen() && IsDlgButtonChecked(Dialog(), IDC_SI_LOG); }

bool CSysInfoDlg::ReadForm(IOperator& op) {
    QWidget* wnd = Dialog();
    if (!wnd) return false;
    struct SField {
        int id;
        std::int32_t* value;
        std::int32_t low, high;
        bool checkBox;
    };
    const SField fields[] = {
        {IDC_SI_GAIN, &m_nGain, 1, 63, false},
        {IDC_SI_CONTRAST, &m_nContrast, 0, 100, false},
        {IDC_SI_BRIGHTNESS, &m_nBrightness, 0, 100, false},
        {IDC_SI_IDENTIFY, &m_nIdentifyLevel, 1, 9, false},
        {IDC_SI_VERIFY, &m_nVerifyLevel, 1, 9, false},
        {IDC_SI_LATENT, &m_nLatentOption, 0, 1, true},
        {IDC_SI_LOG, &m_nLogOption, 0, 1, true},
        {IDC_SI_CAPTURE_PERIOD, &m_nCapturePeriod, 1, 255, false},
    };
    for (const SField& field : fields) {
        if (field.checkBox) {
            *field.value = IsDlgButtonChecked(wnd, field.id) ? 1 : 0;
            continue;
        }
        bool ok = false;
        const int value = GetDlgItemText(wnd, field.id).trimmed().toInt(&ok, 10);
        QString problem;
        if (!ok) {
            problem = "Please enter an integer.";
        } else {
            *field.value = value;
            if (value < field.low || value > field.high) {
                problem = QString("Please enter an integer between %1 and %2.").arg(field.low).arg(field.high);
            }
        }
        if (!problem.isEmpty()) {
            op.MessageBox(problem.toStdString(), "", MB_OK | MB_ICONEXCLAMATION);
            if (QWidget* edit = GetDlgItem(wnd, field.id)) {
                edit->setFocus();
                if (auto* line = qobject_cast<QLineEdit*>(edit)) line->selectAll();
            }
            return false;
        }
    }
    return true;
}
