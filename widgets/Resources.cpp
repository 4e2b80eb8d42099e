#include "widgets/Resources.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {

// Every picture is drawn on a design grid (32 x 32 for icons) and scaled.
QPixmap NewCanvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void BeginPainter(QPainter& p, int size, qreal grid) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.scale(size / grid, size / grid);
}

void DrawComputer(QPainter& p, qreal x, qreal y, qreal scale) {
    // Monitor with a blue screen, a neck and a base; (x, y) is the top left.
    p.save();
    p.translate(x, y);
    p.scale(scale, scale);
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.setBrush(QColor(200, 200, 196));
    p.drawRoundedRect(QRectF(0, 0, 14, 11), 1.2, 1.2);
    p.setBrush(QColor(30, 90, 190));
    p.setPen(Qt::NoPen);
    p.drawRect(QRectF(1.8, 1.8, 10.4, 7.4));
    p.setBrush(QColor(120, 180, 255));
    p.drawRect(QRectF(2.6, 2.6, 4, 2));
    p.setPen(QPen(QColor(40, 40, 40), 0.8));
    p.setBrush(QColor(170, 170, 166));
    p.drawRect(QRectF(5.5, 11, 3, 2));
    p.drawRoundedRect(QRectF(2, 13, 10, 2.4), 0.8, 0.8);
    p.restore();
}

void DrawConnection(QPainter& p) {
    DrawComputer(p, 1, 15, 1.0);
    DrawComputer(p, 17, 2, 1.0);
    // The link: a lightning-like cable from one computer to the other.
    QPainterPath link;
    link.moveTo(8, 14);
    link.lineTo(14, 11);
    link.lineTo(16, 17);
    link.lineTo(24, 17);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(20, 20, 20), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(link);
    p.setPen(QPen(QColor(250, 210, 40), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(link);
}

void DrawWarning(QPainter& p) {
    QPainterPath triangle;
    triangle.moveTo(16, 2.5);
    triangle.lineTo(30, 28.5);
    triangle.lineTo(2, 28.5);
    triangle.closeSubpath();
    p.setPen(QPen(QColor(60, 45, 0), 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(QColor(255, 214, 0));
    p.drawPath(triangle);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    QPainterPath bar;
    bar.moveTo(14.3, 10);
    bar.lineTo(17.7, 10);
    bar.lineTo(16.9, 20.5);
    bar.lineTo(15.1, 20.5);
    bar.closeSubpath();
    p.drawPath(bar);
    p.drawEllipse(QPointF(16, 24.2), 1.9, 1.9);
}

void DrawDisc(QPainter& p, const QColor& light, const QColor& dark) {
    QRadialGradient gradient(QPointF(12, 11), 18);
    gradient.setColorAt(0, light);
    gradient.setColorAt(1, dark);
    p.setPen(QPen(dark.darker(140), 1.0));
    p.setBrush(gradient);
    p.drawEllipse(QPointF(16, 16), 14, 14);
}

void DrawError(QPainter& p) {
    DrawDisc(p, QColor(255, 110, 100), QColor(200, 20, 20));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(7.5, 13.5, 17, 5), 1.2, 1.2);
}

void DrawSuccess(QPainter& p) {
    DrawDisc(p, QColor(120, 220, 110), QColor(20, 140, 40));
    QPainterPath tick;
    tick.moveTo(9, 16.5);
    tick.lineTo(14, 21.5);
    tick.lineTo(23.5, 10.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void DrawFingerprintLines(QPainter& p, const QPointF& centre, qreal maxRadius, const QColor& colour, qreal width) {
    // Ridges as open arcs around a core.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    for (qreal r = 1.6; r <= maxRadius; r += 2.1) {
        QRectF box(centre.x() - r, centre.y() - r * 1.25, 2 * r, 2 * r * 1.25);
        p.drawArc(box, 200 * 16, 300 * 16);
    }
}

void DrawProgram(QPainter& p) {
    // A module: dark blue board with a sensor window showing a fingerprint.
    p.setPen(QPen(QColor(10, 20, 60), 1.0));
    p.setBrush(QColor(30, 60, 140));
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 4, 4);
    p.setBrush(QColor(235, 240, 250));
    p.setPen(QPen(QColor(10, 20, 60), 0.8));
    p.drawRoundedRect(QRectF(7, 5, 18, 22), 3, 3);
    DrawFingerprintLines(p, QPointF(16, 16), 7.5, QColor(30, 60, 140), 1.1);
}

void DrawIcon(int id, QPainter& p) {
    switch (id) {
        case ICON_PROGRAM: DrawProgram(p); break;
        case ICON_CONNECTION: DrawConnection(p); break;
        case ICON_WARNING: DrawWarning(p); break;
        case ICON_ERROR: DrawError(p); break;
        case ICON_SUCCESS: DrawSuccess(p); break;
        default: break;
    }
}

bool IsIcon(int id) {
    return id == ICON_PROGRAM || id == ICON_CONNECTION || id == ICON_WARNING || id == ICON_ERROR || id == ICON_SUCCESS;
}

// ---- clip 142: a finger pressing onto a red and white target ----
constexpr int FINGER_FRAMES = 9;
constexpr int FINGER_SIZE = 32;

QPixmap DrawFingerFrame(int frame) {
    // The finger comes down over frames 0-4, touches the target in the middle
    // frame (which makes it glow yellow) and lifts over frames 5-8.
    static const qreal kLift[FINGER_FRAMES] = {10, 7.5, 5, 2.5, 0, 2.5, 5, 7.5, 10};
    const bool touching = frame == FINGER_FRAMES / 2;
    QPixmap pixmap = NewCanvas(FINGER_SIZE);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);

    // Target seen slightly from above: red and white rings.
    const QPointF centre(16, 26);
    const QColor rings[] = {QColor(210, 20, 20), Qt::white, QColor(210, 20, 20), Qt::white};
    qreal rx = 13, ry = 5;
    p.setPen(QPen(QColor(110, 0, 0), 0.6));
    for (const QColor& c : rings) {
        p.setBrush(c);
        p.drawEllipse(centre, rx, ry);
        rx -= 3;
        ry -= 1.15;
        p.setPen(Qt::NoPen);
    }
    p.setBrush(touching ? QColor(255, 230, 0) : QColor(210, 20, 20));
    if (touching) {
        QRadialGradient glow(centre, 9);
        glow.setColorAt(0, QColor(255, 250, 120));
        glow.setColorAt(0.5, QColor(255, 220, 0, 200));
        glow.setColorAt(1, QColor(255, 220, 0, 0));
        p.setBrush(glow);
        p.drawEllipse(centre, 11, 4.6);
        p.setBrush(QColor(255, 230, 0));
    }
    p.drawEllipse(centre, 2.4, 1.0);

    // The finger, pointing down, tip at y = 25 - lift.
    const qreal tip = 25 - kLift[frame];
    QPainterPath finger;
    finger.moveTo(11, -2);
    finger.lineTo(11, tip - 6);
    finger.cubicTo(11, tip + 0.5, 21, tip + 0.5, 21, tip - 6);
    finger.lineTo(21, -2);
    finger.closeSubpath();
    p.setPen(QPen(QColor(150, 90, 60), 0.9));
    p.setBrush(QColor(246, 200, 160));
    p.drawPath(finger);
    // The nail, seen from the back of the finger.
    p.setPen(QPen(QColor(200, 140, 120), 0.6));
    p.setBrush(QColor(255, 228, 220));
    p.drawRoundedRect(QRectF(13, tip - 10, 6, 6), 2.4, 2.4);
    // A knuckle crease.
    p.setPen(QPen(QColor(190, 130, 100), 0.7));
    p.drawLine(QPointF(12.5, tip - 17), QPointF(19.5, tip - 17));
    return pixmap;
}

// ---- clip 144: two computers with a flashing link ----
constexpr int TRANSFER_FRAMES = 4;
constexpr int TRANSFER_SIZE = 34;

QPixmap DrawTransferFrame(int frame) {
    QPixmap pixmap = NewCanvas(TRANSFER_SIZE);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    DrawComputer(p, 1, 18, 1.0);
    DrawComputer(p, 19, 1, 1.0);
    // Six lamps on the link; frame n lights the lamps n, n+4 ... running from
    // the left computer to the right one, and the last frame lights them all.
    const QPointF from(9, 17), to(25, 16);
    const int lamps = 6;
    for (int i = 0; i < lamps; ++i) {
        qreal t = (i + 0.5) / lamps;
        QPointF c(from.x() + (to.x() - from.x()) * t, from.y() + (to.y() - from.y()) * t + (i % 2 ? -1.5 : 1.5));
        bool lit = frame == TRANSFER_FRAMES - 1 || (i % (TRANSFER_FRAMES - 1)) == frame;
        p.setPen(QPen(QColor(60, 60, 60), 0.6));
        p.setBrush(lit ? QColor(255, 220, 0) : QColor(120, 120, 110));
        p.drawEllipse(c, lit ? 1.8 : 1.3, lit ? 1.8 : 1.3);
    }
    return pixmap;
}

}  // namespace

QPixmap LoadIconPixmap(int id, int size) {
    if (!IsIcon(id) || size <= 0) return QPixmap();
    QPixmap pixmap = NewCanvas(size);
    QPainter p(&pixmap);
    BeginPainter(p, size, 32.0);
    DrawIcon(id, p);
    return pixmap;
}

QIcon LoadIconRes(int id) {
    if (!IsIcon(id)) return QIcon();
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(LoadIconPixmap(id, size));
    return icon;
}

QVector<QPixmap> LoadClip(int id) {
    QVector<QPixmap> frames;
    if (id == CLIP_FINGER) {
        for (int i = 0; i < FINGER_FRAMES; ++i) frames << DrawFingerFrame(i);
    } else if (id == CLIP_TRANSFER) {
        for (int i = 0; i < TRANSFER_FRAMES; ++i) frames << DrawTransferFrame(i);
    }
    return frames;
}

int ClipFrameMs(int id) {
    if (id == CLIP_FINGER) return 100;
    if (id == CLIP_TRANSFER) return 200;
    return 0;
}
