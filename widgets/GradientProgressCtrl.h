#pragma once
// A progress bar that paints its filled part as a horizontal colour gradient
// and can print the percentage reached in its middle.
//
// It keeps the standard progress bar's range, step and position in step with
// its own copies (so the bar repaints when they change) but paints everything
// itself: the bands and the unfilled rest go into an off-screen pixmap that is
// copied to the control in one piece, so the bar never flickers. The
// background is never erased separately.
#include <QColor>
#include <QImage>
#include <QProgressBar>
#include <cstdint>

class CGradientProgressCtrl : public QProgressBar {
    Q_OBJECT
public:
    explicit CGradientProgressCtrl(QWidget* parent = nullptr);

    // Stores both bounds and sets the position to lower.
    void SetRange(std::int32_t lower, std::int32_t upper);
    // The position is not clamped to the range.
    void SetPos(std::int32_t position);
    void SetStep(std::int32_t step);
    // Adds the step to the position.
    void StepIt();

    // Stored only; they take effect at the next repaint.
    void SetStartColor(QColor color) { m_clrStart = color; }
    void SetEndColor(QColor color) { m_clrEnd = color; }
    void SetBkColor(QColor color) { m_clrBkGround = color; }
    void SetTextColor(QColor color) { m_clrText = color; }
    void ShowPercent(bool show) { m_bShowPercent = show; }

    std::int32_t Lower() const { return m_nLower; }
    std::int32_t Upper() const { return m_nUpper; }
    std::int32_t Step() const { return m_nStep; }
    std::int32_t Pos() const { return m_nPos; }
    QColor StartColor() const { return m_clrStart; }
    QColor EndColor() const { return m_clrEnd; }
    QColor BkColor() const { return m_clrBkGround; }
    QColor TextColor() const { return m_clrText; }
    bool IsPercentShown() const { return m_bShowPercent; }

    // The text drawn in the middle of the bar, empty when none is drawn.
    QString PercentText() const;
    // The gradient and the unfilled rest as they are copied to the control
    // (without the text), at the control's size.
    QImage RenderBar() const;
    // Repaints counted since construction (each paints off-screen and copies once).
    int PaintCount() const { return m_nPaints; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // True when the bar shows a filled part (lower < position < upper).
    bool IsFilled() const { return m_nLower < m_nPos && m_nPos < m_nUpper; }
    // Column where the filled part reaches: position / upper of the width.
    int FillEdge(int width) const;
    void DrawGradient(QImage& image, int x) const;
    // Passes range and position on to the standard control and repaints.
    void SyncBase();

    std::int32_t m_nLower = 0;
    std::int32_t m_nUpper = 100;
    std::int32_t m_nStep = 10;
    std::int32_t m_nPos = 0;
    QColor m_clrStart{255, 0, 0};
    QColor m_clrEnd{0, 0, 255};
    QColor m_clrBkGround;  // the button-face colour of the style
    QColor m_clrText{255, 255, 255};
    bool m_bShowPercent = false;
    int m_nPaints = 0;
};
