#pragma once
// Small window helpers shared by the prompts and tool windows.
#include <QRect>

class QWidget;

// The widget's rectangle in screen pixels: the frame of a top-level window,
// the widget itself otherwise.
QRect ScreenRectOf(const QWidget* widget);

// Moves window so that its centre lies on the centre of parent:
//   left = parent left + (parent width / 2 - width / 2), same for top,
// with integer halves. The size is kept.
void CenterOver(QWidget* window, const QWidget* parent);

// Where a window of size goes beside anchor (a frame rectangle) inside the
// work area, top edges aligned: to the right when it fits, else to the left,
// else a null point (the window system then places it).
QPoint PositionBeside(const QRect& anchor, const QSize& size, const QRect& workArea, int gap = 8);

// Disables owner while a window that stands for a running exchange is open
// (a prompt, a progress window) and enables it again when the last such
// window has gone. Counted, so that closing one of two open prompts does not
// give the operator the form back while the other still waits. Windows that
// are children of owner stay usable.
void DisableOwner(QWidget* owner);
void EnableOwner(QWidget* owner);
// How many DisableOwner calls are not yet matched by EnableOwner.
int OwnerDisableCount(const QWidget* owner);
