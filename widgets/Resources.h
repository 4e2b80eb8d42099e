#pragma once
// The program's icons and animation clips, drawn by this program's own code
// at any size (so they stay sharp on high-density screens).
#include <QIcon>
#include <QPixmap>
#include <QVector>

constexpr int ICON_PROGRAM = 128;     // the program icon (a fingerprint on a module)
constexpr int ICON_CONNECTION = 154;  // two linked computers
constexpr int ICON_WARNING = 155;     // yellow triangle with an exclamation mark
constexpr int ICON_ERROR = 157;       // red disc with a white bar
constexpr int ICON_SUCCESS = 158;     // green disc with a white tick

constexpr int CLIP_FINGER = 142;    // 9 frames of 32 x 32 at 100 ms: a finger pressing onto a target
constexpr int CLIP_TRANSFER = 144;  // 4 frames of 34 x 34 at 200 ms: two computers with a flashing link

// Null icon / pixmap for an unknown ID.
QIcon LoadIconRes(int id);
QPixmap LoadIconPixmap(int id, int size = 32);
// Frames of a clip at their own size; empty for an unknown ID.
QVector<QPixmap> LoadClip(int id);
// Milliseconds per frame of a clip; 0 for an unknown ID.
int ClipFrameMs(int id);
