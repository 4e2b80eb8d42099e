#include "widgets/WindowUtil.h"

#include <QWidget>

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
    window->move(left, top);
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
