#include "console/CaptureFlow.h"

#include "platform/qt/UiOperator.h"
#include "protocol/PacketManagerWnd.h"
#include "widgets/CaptureMsg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

namespace {

const char* const kPutFinger = "Put your fingertip on the reader";
const char* const kPutFingerPrompt = "Put your fingertip on the reader...";
const char* const kReceiving = "Receiving the image data...";
const char* const kReceiving2 = "Capture2 : Receiving the image data";
const char* const kNotInTime = "To get a fingerprint image failed. (Not in time)";
// The prompt's own spelling.
const char* const kNotInTimePrompt = "To get a finperprint image failed. (Not in time)";
const char* const kNotInTime2 = "To get a fingerprint image is failed. (Not in time)";
const char* const kCaptureCanceled = "Capture image is canceled";
const char* const kCaptureCanceledByModule = "Capture image is canceled!!!";
const char* const kStopped = "Stop! continuous capture";

}  // namespace

CCaptureFlow::CCaptureFlow(IConsoleContext& console) : CConsoleFlow(console) {}

CCaptureFlow::~CCaptureFlow() {
    // The picture belongs to the form's frame; it must not outlive the image.
    delete m_pPicture.data();
}

LRESULT CCaptureFlow::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    static const MessageEntry<CCaptureFlow> table[] = {
        {WM_RX_GET_IMAGE, &CCaptureFlow::OnImageAnswer},
        {WM_RX_GET_IMAGE2, &CCaptureFlow::OnImage2Answer},
    };
    LRESULT result = 0;
    DispatchMessage(this, table, msg, wParam, lParam, &result);
    return result;
}

bool CCaptureFlow::OnCommand(int id, int code) {
    static const CommandEntry<CCaptureFlow> table[] = {
        {IDC_CAPTURE, BN_CLICKED, &CCaptureFlow::OnCapture},
        {IDC_CONTINUOUS, BN_CLICKED, &CCaptureFlow::OnContinuous},
        {IDC_START, BN_CLICKED, &CCaptureFlow::OnStartStop},
        {ID_FILE_OPEN_IMAGE, BN_CLICKED, &CCaptureFlow::OnOpenImage},
        {ID_FILE_SAVE_IMAGE, BN_CLICKED, &CCaptureFlow::OnSaveImage},
    };
    return DispatchCommand(this, table, id, code);
}

void CCaptureFlow::OnFormCreated() {
    if (m_pPicture) return;
    if (QWidget* frame = GetDlgItem(m_Console.Form(), IDC_PICTURE)) m_pPicture = new CImagePicture(m_Image, frame);
}

void CCaptureFlow::Repaint() {
    if (m_pPicture) m_pPicture->Refresh();
}

bool CCaptureFlow::StorePiece(std::uint64_t offset, const std::uint8_t* bytes, std::size_t count) {
    if (offset > IMAGE_SIZE || !m_Image.StorePiece(static_cast<std::size_t>(offset), bytes, count)) return false;
    Repaint();
    return true;
}

// ------------------------------------------------------------------ CAPTURE

void CCaptureFlow::OnCapture() {
    SConsoleState& state = State();
    state.m_bCaptureCancel = false;
    // A request given up by the packet manager will not be answered: its
    // discard flag must not swallow the answer to this one.
    if (m_bIgnoreNextImage && !m_Console.Device().IsAwaitingAnswer()) m_bIgnoreNextImage = false;
    CWaitDlg& wait = m_Console.WaitDlg();
    if (state.m_bContinuous) {
        m_Console.SetStatusText(kPutFinger);
    } else if (state.IsZel12()) {
        if (wait.IsOpen()) {
            m_Console.SetStatusText(kPutFinger);
        } else {
            wait.SetMode(WAITMODE_FINGER);
            wait.SetMessage(kPutFingerPrompt);
            wait.Popup(IDD_WAITDLG, m_Console.Form(), &m_Console.Device());
        }
    }
    if (state.IsZel12()) {
        RequestPiece(CMD_GET_IMAGE, 0);
    } else if (state.m_bContinuous) {
        RequestPiece(CMD_GET_IMAGE2, 0);
    } else if (m_Console.CaptureMsg().DoModal(m_Console.Operator(), m_Console.Form()) == IDOK) {
        RequestPiece(CMD_GET_IMAGE2, 0);
    }
}

void CCaptureFlow::RequestPiece(std::uint32_t command, std::uint32_t piece) {
    m_bPending = true;
    m_nPendingCommand = command;
    m_nPendingPiece = piece;
    if (command == CMD_GET_IMAGE) {
        m_Console.Device().SendGetImage(piece);
    } else {
        m_Console.Device().SendGetImage2(piece);
    }
}

bool CCaptureFlow::TakeAnswer(std::uint32_t command, std::uint32_t piece, bool anyPiece) {
    if (!m_bPending || m_nPendingCommand != command || (!anyPiece && piece != m_nPendingPiece)) return false;
    m_bPending = false;
    return true;
}

void CCaptureFlow::NextCapture() {
    State().m_bContinuous = true;
    m_Console.SetItemText(IDC_SUCCESS_COUNT, QString::asprintf("%d", m_nSuccessCount));
    OnCapture();
}

void CCaptureFlow::ImageComplete() {
    ++m_nSuccessCount;
    // The next image builds up on white.
    m_Image.Clear();
    Repaint();
    NextCapture();
}

void CCaptureFlow::CountFailure() {
    ++m_nFailCount;
    m_Console.SetItemText(IDC_FAIL_COUNT, QString::asprintf("%d", m_nFailCount));
    NextCapture();
}

void CCaptureFlow::PieceDoesNotFit(std::uint32_t piece) {
    const QString text = QString::asprintf("Image piece %u does not fit in the image: the capture is ended.", piece);
    m_Console.SetStatusText(text);
    if (State().m_bContinuous) {
        CountFailure();
        return;
    }
    m_Console.WaitDlg().Close();
}

// ------------------------------------------------ CMD_GET_IMAGE (ZEL12)

LRESULT CCaptureFlow::OnImageAnswer(WPARAM wParam, LPARAM) {
    if (m_bIgnoreNextImage) {
        m_bIgnoreNextImage = false;
        return 0;
    }
    const CPacket& answer = PacketOf(wParam);
    const bool loop = State().m_bContinuous;
    CWaitDlg& wait = m_Console.WaitDlg();
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (result == RES_TIMEOUT) {
        if (!TakeAnswer(CMD_GET_IMAGE, answer.m_Param2, true)) return 0;
        if (loop) {
            m_Console.SetStatusText(kNotInTime);
            CountFailure();
        } else {
            wait.Close();
            m_Console.ShowPrompt(MSGFORM_WARNING, kNotInTimePrompt);
            m_Console.SetStatusText(kNotInTime);
        }
        return 0;
    }
    const std::uint32_t p = answer.m_Param2;
    const std::size_t n = answer.m_DataSize;
    if (!TakeAnswer(CMD_GET_IMAGE, p, false)) return 0;
    if (p == 0) {
        if (loop) {
            m_Console.SetStatusText(kReceiving);
        } else if (wait.IsOpen()) {
            wait.SetMessage(kReceiving);
            wait.SetMode(WAITMODE_TRANSFER);
        }
    }
    const std::uint64_t offset = std::uint64_t{p} * IMAGE_PIECE_SIZE;
    if (!StorePiece(offset, answer.m_Data, n)) {
        PieceDoesNotFit(p);
        return 0;
    }
    if (offset + n < IMAGE_SIZE) {
        // A single capture ends when the operator closes the waiting prompt.
        if (loop || wait.IsOpen()) RequestPiece(CMD_GET_IMAGE, p + 1);
        return 0;
    }
    // The final piece.
    if (loop) {
        ImageComplete();
    } else {
        wait.Close();
    }
    return 0;
}

// ------------------------------------------- CMD_GET_IMAGE2 (other boards)

LRESULT CCaptureFlow::OnImage2Answer(WPARAM wParam, LPARAM) {
    if (m_bIgnoreNextImage) {
        m_bIgnoreNextImage = false;
        return 0;
    }
    const CPacket& answer = PacketOf(wParam);
    const bool loop = State().m_bContinuous;
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    const std::uint32_t index = (answer.m_Param2 >> 8) & 0xFF;
    const std::uint32_t last = answer.m_Param2 & 0xFF;
    if (!TakeAnswer(CMD_GET_IMAGE2, index, result != RES_SUCCESS)) return 0;
    if (State().m_bCaptureCancel) {
        State().m_bCaptureCancel = false;
        PostBox(kCaptureCanceled, MB_OK);
        m_Console.SetStatusText(kCaptureCanceled);
        return 0;
    }
    if (result == RES_SUCCESS) {
        m_Console.SetStatusText(kReceiving2);
        const std::uint64_t offset = std::uint64_t{index} * IMAGE2_PIECE_SIZE;
        if (!StorePiece(offset, answer.m_Data, answer.m_DataSize)) {
            PieceDoesNotFit(index);
            return 0;
        }
        if (index < last) {
            RequestPiece(CMD_GET_IMAGE2, index + 1);
        } else if (loop) {
            ImageComplete();
        }
    } else if (result == RES_TIMEOUT) {
        if (loop) {
            m_Console.SetStatusText(kNotInTime);
            CountFailure();
        } else {
            m_Console.SetStatusText(kNotInTime2);
            Repaint();
        }
    } else if (result == RES_CANCELED) {
        // In the loop too: the loop waits for STOP.
        PostBox(kCaptureCanceledByModule, MB_OK);
        m_Console.SetStatusText(kCaptureCanceledByModule);
        Repaint();
    }
    return 0;
}

// ------------------------------------------------- continuous capture

void CCaptureFlow::OnContinuous() {
    m_Console.EnableItem(IDC_START, IsDlgButtonChecked(m_Console.Form(), IDC_CONTINUOUS));
}

void CCaptureFlow::OnStartStop() {
    if (m_bStartMode) {
        m_Console.EnableItem(IDC_CANCEL, false);
        m_Console.SetItemText(IDC_START, "STOP");
        m_bStartMode = false;
        NextCapture();
        return;
    }
    m_Console.EnableItem(IDC_CANCEL, true);
    m_Console.SetItemText(IDC_START, "START");
    m_bStartMode = true;
    if (State().m_bContinuous) {
        // The request under way is still answered; that answer is discarded
        // so that no further request follows. Nothing is under way after a
        // cancel, or once the packet manager has given up its re-sends.
        if (m_bPending && m_Console.Device().IsAwaitingAnswer()) m_bIgnoreNextImage = true;
        // The request is abandoned: a START right away asks anew, and the
        // answer to the new request is the one to take.
        m_bPending = false;
        State().m_bContinuous = false;
    }
    m_Console.SetStatusText(kStopped);
}

void CCaptureFlow::OnChecksumError() {
    if (!State().m_bContinuous) return;
    // The lost answer counts as a failed image; the loop goes on.
    m_Console.MsgDlg().Close();
    m_bPending = false;
    CountFailure();
}

void CCaptureFlow::OnLinkClosed() {
    SConsoleState& state = State();
    state.m_bContinuous = false;
    m_bIgnoreNextImage = false;
    m_bPending = false;
    m_nSuccessCount = 0;
    m_nFailCount = 0;
    // Nothing runs any more: START/STOP back to START, unusable until the
    // box is ticked on the next connection.
    if (!m_bStartMode) {
        m_bStartMode = true;
        m_Console.SetItemText(IDC_START, "START");
        m_Console.EnableItem(IDC_CANCEL, true);
    }
    CheckDlgButton(m_Console.Form(), IDC_CONTINUOUS, false);
    m_Console.EnableItem(IDC_START, false);
}
