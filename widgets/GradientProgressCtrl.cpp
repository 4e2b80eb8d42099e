#include "widgets/GradientProgressCtrl.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Band colour channel: start + i x step truncated toward zero, low 8 bits.
int BandChannel(int start, int i, float step) {
    return static_cast<int>(static_cast<float>(start) + static_cast<float>(i) * step) & 0xFF;
}

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    m_clrBkGround = palette().color(QPalette::Button);
    // Everything is painted by paintEvent over the whole control: no erase.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setTextVisible(false);
    QProgressBar::setRange(0, 100);
    QProgressBar::setValue(0);
}

void CGradientProgressCtrl::SyncBase() {
    // The standard control would repaint at once for each change; held back,
    // the control is repainted once, when updates are enabled again.
    setUpdatesEnabled(false);
    QProgressBar::setRange(std::min(m_nLower, m_nUpper), std::max(m_nLower, m_nUpper));
    // The standard control keeps a clamped copy; ours is not clamped.
    QProgressBar::setValue(std::clamp(m_nPos, minimum(), maximum()));
    setUpdatesEnabled(true);
}

void CGradientProgressCtrl::SetRange(std::int32_t lower, std::int32_t upper) {
    m_nLower = lower;
    m_nUpper = upper;
    m_nPos = lower;
    SyncBase();
}

void CGradientProgressCtrl::SetPos(std::int32_t position) {
    m_nPos = position;
    SyncBase();
}

void CGradientProgressCtrl::SetStep(std::int32_t step) {
    // The standard control has no step of its own; the picture does not change.
    m_nStep = step;
}

void CGradientProgressCtrl::StepIt() {
    m_nPos += m_nStep;
    SyncBase();
}

int CGradientProgressCtrl::FillEdge(int width) const {
    const float x = static_cast<float>(m_nPos) / static_cast<float>(m_nUpper) * static_cast<float>(width);
    // An upper bound of 0 (a range below zero) would divide by zero.
    if (!std::isfinite(x)) return 0;
    return static_cast<int>(std::clamp(x, 0.0f, static_cast<float>(width)));
}

QString CGradientProgressCtrl::PercentText() const {
    if (!m_bShowPercent || !IsFilled()) return QString();
    return QString::asprintf("%.0f%%", static_cast<double>(m_nPos) * 100.0 / static_cast<double>(m_nUpper));
}

void CGradientProgressCtrl::DrawGradient(QImage& image, int x) const {
    const int width = image.width();
    const int height = image.height();
    QPainter painter(&image);
    const int dR = m_clrEnd.red() - m_clrStart.red();
    const int dG = m_clrEnd.green() - m_clrStart.green();
    const int dB = m_clrEnd.blue() - m_clrStart.blue();
    const int bands = std::max({std::abs(dR), std::abs(dG), std::abs(dB)});
    if (bands == 0) {
        // One colour: the filled part in it, the rest in the background.
        painter.fillRect(QRect(0, 0, x, height), m_clrStart);
        painter.fillRect(QRect(x, 0, width - x, height), m_clrBkGround);
        return;
    }
    const float w = static_cast<float>(width) / static_cast<float>(bands);
    const float sR = static_cast<float>(dR) / static_cast<float>(bands);
    const float sG = static_cast<float>(dG) / static_cast<float>(bands);
    const float sB = static_cast<float>(dB) / static_cast<float>(bands);
    for (int i = 0; i < bands; ++i) {
        const int left = static_cast<int>(static_cast<float>(i) * w);
        const int right = static_cast<int>(static_cast<float>(i + 1) * w);
        const QColor color(BandChannel(m_clrStart.red(), i, sR), BandChannel(m_clrStart.green(), i, sG),
                           BandChannel(m_clrStart.blue(), i, sB));
        painter.fillRect(QRect(left, 0, right - left, height + 1), color);
        // The band that contains x is drawn whole; the rest is background.
        if (right > x) {
            painter.fillRect(QRect(right, 0, width - right, height), m_clrBkGround);
            return;
        }
    }
}

QImage CGradientProgressCtrl::RenderBar() const {
    QImage image(size(), QImage::Format_RGB32);
    if (image.isNull()) return image;
    if (IsFilled()) {
        // Anything the bands leave (a width below the band count) is background.
        image.fill(m_clrBkGround);
        DrawGradient(image, FillEdge(width()));
    } else {
        // At or beyond the bounds the bar shows empty, in the button face.
        image.fill(palette().color(QPalette::Button));
    }
    return image;
}

void CGradientProgressCtrl::paintEvent(QPaintEvent*) {
    ++m_nPaints;
    // Painted off-screen, then copied to the control in one block.
    const QImage bar = RenderBar();
    QPainter painter(this);
    painter.drawImage(0, 0, bar);
    const QString text = PercentText();
    if (!text.isEmpty()) {
        painter.setPen(m_clrText);
        painter.setBackgroundMode(Qt::TransparentMode);
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}
