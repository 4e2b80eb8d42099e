#include "widgets/WindowUtil.h"

#include <QWidget>
#include <algorithm>

namespace {
const char* const DISABLE_COUNT_PROPERTY = "pravikDisableCount";
}

QRect ScreenRectOf(const QWidget* widget) {
    if (!widget) return QRect();
    if (widget->isWindow()) return widget->frameGeometry();
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

void CenterOver(QWidget* window, const QWidget* parent) {
    if (!window || !parent) return;
    const QRect p = ScreenRectOf(parent);
    const int left = p.left() + (p.width() / 2 - window->width() / 2);
    const int top = p.top() + (p.height() / 2 - window->height() / 2);
    // Client coordinates: a move() of a shown window places its frame there,
    // which would shift an open prompt by the title bar when it is refitted.
    window->setGeometry(left, top, window->width(), window->height());
}

QPoint PositionBeside(const QRect& anchor, const QSize& size, const QRect& workArea, int gap) {
    const int top = std::max(workArea.top(), std::min(anchor.top(), workArea.bottom() + 1 - size.height()));
    if (anchor.right() + gap + size.width() <= workArea.right() + 1) return QPoint(anchor.right() + 1 + gap, top);
    if (anchor.left() - gap - size.width() >= workArea.left()) return QPoint(anchor.left() - gap - size.width(), top);
    return QPoint();
}

int OwnerDisableCount(const QWidget* owner) {
    return owner ? owner->property(DISABLE_COUNT_PROPERTY).toInt() : 0;
}

void DisableOwner(QWidget* owner) {
    if (!owner) return;
    owner->setProperty(DISABLE_COUNT_PROPERTY, OwnerDisableCount(owner) + 1);
    owner->setEnabled(false);
    // Disabling a widget disables its child windows too; the prompts and tool
    // windows owned by it must keep working.
    for (QWidget* child : owner->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow()) child->setEnabled(true);
    }
}

void EnableOwner(QWidget* owner) {
    if (!owner) return;
    int count = OwnerDisableCount(owner) - 1;
    if (count < 0) count = 0;
    owner->setProperty(DISABLE_COUNT_PROPERTY, count);
    if (count == 0) owner->setEnabled(true);
}
