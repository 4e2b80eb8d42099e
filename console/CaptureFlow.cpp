#include "console/CaptureFlow.h"

#include "ops/Answers.h"

#include "platform/qt/UiOperator.h"
#include "widgets/CaptureMsg.h"
#include "widgets/DialogTemplate.h"
#include "widgets/MsgDlg.h"
#include "widgets/WaitDlg.h"

namespace {

const char* const kPutFingerPrompt = "Put your fingertip on the reader...";
const char* const kReceiving = "Receiving the image data...";
const char* const kReceiving2 = "Capture2 : Receiving the image data";
const char* const kStopped = "Stop! continuous capture";
// What other flows are told while a capture owns the link.
const char* const kCaptureJob = "the image capture";

}  // namespace

CCaptureFlow::CCaptureFlow(IConsoleContext& console) : CConsoleFlow(console) {}

CCaptureFlow::~CCaptureFlow() {
    // The picture belongs to the form's frame; it must not outlive the image.
    delete m_pPicture.data();
}

void CCaptureFlow::OnAnswer(const CReply& reply) {
    static const ReplyEntry<CCaptureFlow> table[] = {
        GENERAL_REPLY(CMD_GET_IMAGE, &CCaptureFlow::OnImageAnswer),
        GENERAL_REPLY(CMD_GET_IMAGE2, &CCaptureFlow::OnImage2Answer),
    };
    DispatchReply(this, table, reply);
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
    m_bCancelPressed = false;
    // The capture owns the link until it ends.
    if (!Client().Claim(*this, kCaptureJob)) {
        m_Console.SetStatusText(NotSentText(ESendResult::Busy));
        return;
    }
    CWaitDlg& wait = m_Console.WaitDlg();
    const bool zel12 = State().IsZel12();
    if (m_bContinuous) {
        m_Console.SetStatusText(kPutFinger);
    } else if (zel12) {
        if (wait.IsOpen()) {
            m_Console.SetStatusText(kPutFinger);
        } else {
            wait.SetMode(WAITMODE_FINGER);
            wait.SetMessage(kPutFingerPrompt);
            wait.Popup(IDD_WAITDLG, m_Console.Form());
        }
    }
    if (zel12) {
        RequestPiece(CMD_GET_IMAGE, 0);
    } else if (m_bContinuous) {
        RequestPiece(CMD_GET_IMAGE2, 0);
    } else if (m_Console.CaptureMsg().DoModal(m_Console.Operator(), m_Console.Form()) == IDOK) {
        RequestPiece(CMD_GET_IMAGE2, 0);
    } else {
        EndCapture();
    }
}

bool CCaptureFlow::RequestPiece(std::uint32_t command, std::uint32_t piece) {
    if (Request(req::General(command, 0, piece))) return true;
    // Nothing went out (the link is gone): nothing will answer.
    m_Console.WaitDlg().Close();
    EndCapture();
    return false;
}

void CCaptureFlow::EndCapture() { Client().Release(*this); }

void CCaptureFlow::NextCapture() {
    m_bContinuous = true;
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
    if (m_bContinuous) {
        CountFailure();
        return;
    }
    m_Console.WaitDlg().Close();
    EndCapture();
}

void CCaptureFlow::OnExchangeEnded(const CReply& reply) {
    switch (reply.End()) {
        case EExchangeEnd::TimedOut:
            // Ten sends and no answer: the capture stops where it is (in the
            // loop STOP ends it).
            PostBox(reply.Command() == CMD_GET_IMAGE ? kImageReceivingError : kImage2ReceivingError, MB_OK | MB_ICONSTOP);
            EndCapture();
            break;
        case EExchangeEnd::ChecksumRefused:
            CConsoleFlow::OnExchangeEnded(reply);
            EndCapture();
            break;
        case EExchangeEnd::Answered:
        case EExchangeEnd::LinkClosed:
        case EExchangeEnd::Superseded: break;
    }
}

// ------------------------------------------------ CMD_GET_IMAGE (ZEL12)

void CCaptureFlow::OnImageAnswer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const bool loop = m_bContinuous;
    CWaitDlg& wait = m_Console.WaitDlg();
    if (static_cast<std::int32_t>(answer.m_Param1) == RES_TIMEOUT) {
        if (loop) {
            m_Console.SetStatusText(kImageNotInTime);
            CountFailure();
        } else {
            wait.Close();
            m_Console.ShowPrompt(MSGFORM_WARNING, kImageNotInTimePrompt);
            m_Console.SetStatusText(kImageNotInTime);
            EndCapture();
        }
        return;
    }
    // Every other answer is the piece asked for.
    const std::uint32_t p = reply.Request().param2;
    const std::size_t n = answer.m_DataSize;
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
        return;
    }
    if (offset + n < IMAGE_SIZE) {
        // A single capture ends when the operator closes the waiting prompt.
        if (loop || wait.IsOpen()) {
            RequestPiece(CMD_GET_IMAGE, p + 1);
        } else {
            EndCapture();
        }
        return;
    }
    // The final piece.
    if (loop) {
        ImageComplete();
    } else {
        wait.Close();
        EndCapture();
    }
}

// ------------------------------------------- CMD_GET_IMAGE2 (other boards)

void CCaptureFlow::OnImage2Answer(const CReply& reply) {
    const CPacket& answer = reply.Packet();
    const bool loop = m_bContinuous;
    const auto result = static_cast<std::int32_t>(answer.m_Param1);
    if (m_bCancelPressed) {
        m_bCancelPressed = false;
        PostBox(kCaptureCanceled, MB_OK);
        m_Console.SetStatusText(kCaptureCanceled);
        EndCapture();
        return;
    }
    if (result == RES_SUCCESS) {
        const std::uint32_t index = (answer.m_Param2 >> 8) & 0xFF;
        const std::uint32_t last = answer.m_Param2 & 0xFF;
        m_Console.SetStatusText(kReceiving2);
        const std::uint64_t offset = std::uint64_t{index} * IMAGE2_PIECE_SIZE;
        if (!StorePiece(offset, answer.m_Data, answer.m_DataSize)) {
            PieceDoesNotFit(index);
            return;
        }
        if (index < last) {
            RequestPiece(CMD_GET_IMAGE2, index + 1);
        } else if (loop) {
            ImageComplete();
        } else {
            EndCapture();
        }
    } else if (result == RES_TIMEOUT) {
        if (loop) {
            m_Console.SetStatusText(kImageNotInTime);
            CountFailure();
        } else {
            m_Console.SetStatusText(kImage2NotInTime);
            Repaint();
            EndCapture();
        }
    } else if (result == RES_CANCELED) {
        // In the loop too: the loop waits for STOP.
        PostBox(kCaptureCanceledByModule, MB_OK);
        m_Console.SetStatusText(kCaptureCanceledByModule);
        Repaint();
        EndCapture();
    } else {
        // Nothing more will come for this capture.
        EndCapture();
    }
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
    if (m_bContinuous) {
        // The piece request under way is abandoned: should its answer still
        // come, the client drops it, and a START right away asks anew.
        Client().Abandon(*this);
        m_bContinuous = false;
        EndCapture();
    }
    m_Console.SetStatusText(kStopped);
}

void CCaptureFlow::OnChecksumError() {
    if (!m_bContinuous) return;
    // The lost answer counts as a failed image; the loop goes on (the new
    // request takes the place of the one whose answer was lost).
    m_Console.MsgDlg().Close();
    CountFailure();
}

void CCaptureFlow::OnLinkClosed() {
    m_bContinuous = false;
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
