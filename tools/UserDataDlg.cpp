#include "tools/UserDataDlg.h"

#include <QLineEdit>

#include "platform/qt/UiOperator.h"
#include "tools/FieldCheck.h"
#include "widgets/DialogTemplate.h"
#include "widgets/EditValidator.h"

CUserDataDlg::CUserDataDlg(IUiOperator& op)
    : CToolWindow(IDD_USER_DATA), m_Operator(op) {}

CUserDataDlg::~CUserDataDlg() = default;

void CUserDataDlg::OnInitDialog() {
    // Each opening starts with an empty form; opening sends nothing.
    ClearForm();
    ShowForm();
}

bool CUserDataDlg::OnCommand(int id, int code) {
    static const CommandEntry<CUserDataDlg> table[] = {
        {IDC_UD_READ_ADDRESS, EN_CHANGE, &CUserDataDlg::OnNumberChanged},
        {IDC_UD_WRITE_ADDRESS, EN_CHANGE, &CUserDataDlg::OnNumberChanged},
        {IDC_UD_READ_SIZE, EN_CHANGE, &CUserDataDlg::OnNumberChanged},
        {IDC_UD_WRITE_DATA, EN_CHANGE, &CUserDataDlg::OnWriteDataChanged},
        {IDC_UD_READ, BN_CLICKED, &CUserDataDlg::OnRead},
        {IDC_UD_WRITE, BN_CLICKED, &CUserDataDlg::OnWrite},
        {IDC_UD_ERASE, BN_CLICKED, &CUserDataDlg::OnErase},
    };
    if (m_bShowing) return true;
    return DispatchCommand(this, table, id, code);
}

// ------------------------------------------------------------------ the form

int CUserDataDlg::WriteSizeOf(const QString& text) {
    return static_cast<int>(text.endsWith(QLatin1Char(' ')) ? text.size() - 1 : text.size());
}

void CUserDataDlg::ClearForm() {
    m_nReadAddress = m_nWriteAddress = m_nReadSize = m_nWriteSize = 0;
    m_strReadData.clear();
    m_strWriteData.clear();
}

bool CUserDataDlg::ReadForm() {
    CTemplateDialog* wnd = Dialog();
    if (!wnd) return false;
    struct SNumber {
        int id;
        int min, max;
        int* value;
    };
    const SNumber numbers[] = {
        {IDC_UD_READ_ADDRESS, 0, USER_DATA_ADDRESS_MAX, &m_nReadAddress},
        {IDC_UD_WRITE_ADDRESS, 0, USER_DATA_ADDRESS_MAX, &m_nWriteAddress},
        {IDC_UD_READ_SIZE, 0, USER_DATA_SIZE, &m_nReadSize},
    };
    auto fail = [&](int id, EFieldCheck check, int min, int max) {
        m_Operator.MessageBox(FieldCheckMessage(check, min, max).toStdString(), "", MB_OK | MB_ICONEXCLAMATION);
        if (QWidget* field = wnd->Item(id)) field->setFocus();
        return false;
    };
    for (const SNumber& n : numbers) {
        const EFieldCheck check = CheckIntegerField(GetDlgItemText(wnd, n.id), n.min, n.max, *n.value);
        if (check != FIELD_OK) return fail(n.id, check, n.min, n.max);
    }
    m_strReadData = GetDlgItemText(wnd, IDC_UD_READ_DATA);
    EFieldCheck check = CheckIntegerField(GetDlgItemText(wnd, IDC_UD_WRITE_SIZE), 0, USER_DATA_SIZE, m_nWriteSize);
    if (check != FIELD_OK) return fail(IDC_UD_WRITE_SIZE, check, 0, USER_DATA_SIZE);
    check = CheckTextField(GetDlgItemText(wnd, IDC_UD_WRITE_DATA), USER_DATA_WRITE_MAX, m_strWriteData);
    if (check != FIELD_OK) return fail(IDC_UD_WRITE_DATA, check, 0, USER_DATA_WRITE_MAX);
    return true;
}

void CUserDataDlg::ShowForm() {
    CTemplateDialog* wnd = Dialog();
    if (!wnd) return;
    m_bShowing = true;
    SetDlgItemText(wnd, IDC_UD_READ_ADDRESS, QString::number(m_nReadAddress));
    SetDlgItemText(wnd, IDC_UD_WRITE_ADDRESS, QString::number(m_nWriteAddress));
    SetDlgItemText(wnd, IDC_UD_READ_SIZE, QString::number(m_nReadSize));
    SetDlgItemText(wnd, IDC_UD_READ_DATA, CEditValidator::Latin1Upper(m_strReadData));
    SetDlgItemText(wnd, IDC_UD_WRITE_SIZE, QString::number(m_nWriteSize));
    SetDlgItemText(wnd, IDC_UD_WRITE_DATA, CEditValidator::Latin1Upper(m_strWriteData));
    m_bShowing = false;
}

void CUserDataDlg::ShowReadData(const std::uint8_t* bytes, std::size_t count) {
    CTemplateDialog* wnd = Dialog();
    if (!wnd) return;
    m_strReadData.clear();
    m_strReadData.reserve(static_cast<int>(count));
    for (std::size_t i = 0; i < count; ++i) {
        if (bytes[i]) m_strReadData += QChar::fromLatin1(static_cast<char>(bytes[i]));
    }
    // Only the read field: the others keep what the operator has typed.
    m_bShowing = true;
    SetDlgItemText(wnd, IDC_UD_READ_DATA, CEditValidator::Latin1Upper(m_strReadData));
    m_bShowing = false;
}

void CUserDataDlg::TakeWriteData() {
    CTemplateDialog* wnd = Dialog();
    auto* edit = wnd ? wnd->Item<QLineEdit>(IDC_UD_WRITE_DATA) : nullptr;
    if (!edit) return;
    // Letters go in upper case however they arrived (typed or pasted).
    const QString text = edit->text().left(USER_DATA_WRITE_MAX);
    const QString upper = CEditValidator::Latin1Upper(text);
    m_bShowing = true;
    if (upper != edit->text()) {
        const int cursor = edit->cursorPosition();
        edit->setText(upper);
        edit->setCursorPosition(cursor);
    }
    m_strWriteData = upper;
    m_nWriteSize = WriteSizeOf(upper);
    SetDlgItemText(wnd, IDC_UD_WRITE_SIZE, QString::number(m_nWriteSize));
    m_bShowing = false;
}

// ------------------------------------------------------------------ events

void CUserDataDlg::OnNumberChanged() { ReadForm(); }

void CUserDataDlg::OnWriteDataChanged() {
    ReadForm();
    // The write data and its size follow the field even when an earlier field
    // stopped the reading, so that what is written is what is shown.
    TakeWriteData();
}

void CUserDataDlg::OnRead() {
    // Sent whatever the reading found: an out-of-range number goes as typed
    // and the module answers with its own result.
    ReadForm();
    if (m_fnRequest) {
        m_fnRequest(req::General(CMD_READ_USER_DATA, static_cast<std::uint32_t>(m_nReadAddress),
                                 static_cast<std::uint32_t>(m_nReadSize)));
    }
}

void CUserDataDlg::OnWrite() {
    ReadForm();
    if (!IsOpen()) return;
    TakeWriteData();
    if (m_nWriteSize == 0 || !m_fnRequest) return;
    m_fnRequest(req::WriteUserData(static_cast<std::uint32_t>(m_nWriteAddress),
                                   static_cast<std::uint32_t>(m_nWriteSize), m_strWriteData.toLatin1().toStdString()));
}

void CUserDataDlg::OnErase() {
    ClearForm();
    ShowForm();
    if (m_fnRequest) m_fnRequest(req::General(CMD_ERASE_USER_DATA));
}
