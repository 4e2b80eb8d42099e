#pragma once
// The user data window (template 155): a modeless window of the View menu
// over the module's 8192-byte user memory. It reads a stretch of it (the
// bytes are shown as text), writes the typed text into it and erases the
// whole block. Its requests go out through the user-data flow (m_fnRequest),
// which receives their answers, fills the read field and shows the outcome.
//
// The form is read field by field in a fixed order (read address, write
// address, read size, read data, write size, write data), stopping at the
// first field that does not fit, with the message of that field.
#include <QString>
#include <cstddef>
#include <cstdint>

#include <functional>

#include "protocol/Requests.h"
#include "tools/ToolWindow.h"

class IUiOperator;
class QWidget;

constexpr int IDD_USER_DATA = 155;
constexpr int IDC_UD_WRITE_DATA = 1013;
constexpr int IDC_UD_WRITE_ADDRESS = 1014;
constexpr int IDC_UD_READ_DATA = 1015;
constexpr int IDC_UD_READ_ADDRESS = 1016;
constexpr int IDC_UD_READ_SIZE = 1017;
constexpr int IDC_UD_WRITE_SIZE = 1018;
constexpr int IDC_UD_READ = 1033;   // READ USER DATA
constexpr int IDC_UD_WRITE = 3;     // WRITE USER DATA
constexpr int IDC_UD_ERASE = 4;     // ERASE USER DATA BLOCK

constexpr int USER_DATA_SIZE = 8192;
constexpr int USER_DATA_ADDRESS_MAX = USER_DATA_SIZE - 1;
constexpr int USER_DATA_WRITE_MAX = 256;  // characters of one write

class CUserDataDlg : public CToolWindow {
public:
    explicit CUserDataDlg(IUiOperator& op);
    ~CUserDataDlg() override;

    // Where READ, WRITE and ERASE send their requests (the user-data flow).
    std::function<void(SRequest)> m_fnRequest;

    // Creates the window as a modeless child of parent with an empty form
    // and shows it; true when open (also when it was open already).
    using CToolWindow::Create;
    using CToolWindow::Toggle;

    // The answer to a read: the bytes as characters (a zero byte adds
    // nothing), shown in upper case. Nothing when the window is closed.
    void ShowReadData(const std::uint8_t* bytes, std::size_t count);

    // Reads and checks the form in its order; shows the message of the first
    // field that does not fit and returns false. A field that holds no whole
    // number keeps its value; a number out of range is taken as typed.
    bool ReadForm();
    // Shows every value of the form in its field.
    void ShowForm();

    // Characters of the write data that are written: all but one blank at
    // its end.
    static int WriteSizeOf(const QString& text);

    // The form's values.
    int m_nReadAddress = 0;
    int m_nWriteAddress = 0;
    int m_nReadSize = 0;
    QString m_strReadData;
    int m_nWriteSize = 0;
    QString m_strWriteData;

private:
    void OnInitDialog() override;
    bool OnCommand(int id, int code) override;
    void OnNumberChanged();
    void OnWriteDataChanged();
    void OnRead();
    void OnWrite();
    void OnErase();
    void ClearForm();
    // Takes the write data from its field (in upper case) with its size.
    void TakeWriteData();

    IUiOperator& m_Operator;
    bool m_bShowing = false;  // the form is being filled: its change notices are ours
};
