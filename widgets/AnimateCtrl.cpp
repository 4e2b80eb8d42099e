#include "widgets/AnimateCtrl.h"

#include "widgets/Resources.h"

CAnimateCtrl::CAnimateCtrl(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(&m_Timer, &QTimer::timeout, this, &CAnimateCtrl::Step);
}

bool CAnimateCtrl::Open(int clipId) {
    Close();
    QVector<QPixmap> frames = LoadClip(clipId);
    if (frames.isEmpty()) return false;
    m_Frames = std::move(frames);
    m_nClipId = clipId;
    m_nFrameMs = ClipFrameMs(clipId);
    ShowFrame(0);
    if (m_bAutoPlay) Play();
    return true;
}

bool CAnimateCtrl::Play(int repeat) {
    if (!IsOpen()) return false;
    m_nRepeatLeft = repeat;
    if (repeat == 0) return true;
    m_Timer.start(m_nFrameMs);
    return true;
}

void CAnimateCtrl::Stop() { m_Timer.stop(); }

void CAnimateCtrl::Close() {
    m_Timer.stop();
    m_Frames.clear();
    m_nClipId = 0;
    m_nFrame = 0;
    clear();
}

void CAnimateCtrl::Step() {
    if (m_Frames.isEmpty()) return;
    int next = m_nFrame + 1;
    if (next >= m_Frames.size()) {
        next = 0;
        if (m_nRepeatLeft > 0 && --m_nRepeatLeft == 0) {
            // The last pass ends on its last frame.
            m_Timer.stop();
            return;
        }
    }
    ShowFrame(next);
}

void CAnimateCtrl::ShowFrame(int frame) {
    m_nFrame = frame;
    setPixmap(m_Frames.value(frame));
    emit FrameChanged(frame);
}
