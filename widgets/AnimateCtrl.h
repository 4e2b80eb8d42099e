#pragma once
// Animation control: plays one of the program's clips (widgets/Resources.h)
// frame by frame, repeating until stopped or closed.
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVector>

class CAnimateCtrl : public QLabel {
    Q_OBJECT
public:
    explicit CAnimateCtrl(QWidget* parent = nullptr);

    // With auto-play set, Open starts playing at once.
    void SetAutoPlay(bool autoPlay) { m_bAutoPlay = autoPlay; }
    bool AutoPlay() const { return m_bAutoPlay; }

    // Opens a clip (closing the one open) and shows its first frame. Returns
    // false for an unknown clip; the control is then empty.
    bool Open(int clipId);
    // Plays from the current frame; repeat < 0 repeats without end, otherwise
    // the clip is played that many times and stops on its last frame.
    bool Play(int repeat = -1);
    void Stop();
    // Stops and empties the control.
    void Close();

    bool IsOpen() const { return m_nClipId != 0; }
    bool IsPlaying() const { return m_Timer.isActive(); }
    int ClipId() const { return m_nClipId; }
    int CurrentFrame() const { return m_nFrame; }
    int FrameCount() const { return m_Frames.size(); }
    int FrameMs() const { return m_nFrameMs; }
    // Moves to the next frame as the timer would (for tests and single steps).
    void Step();

signals:
    void FrameChanged(int frame);

private:
    void ShowFrame(int frame);

    QTimer m_Timer;
    QVector<QPixmap> m_Frames;
    int m_nClipId = 0;
    int m_nFrame = 0;
    int m_nFrameMs = 100;
    int m_nRepeatLeft = -1;
    bool m_bAutoPlay = false;
};
