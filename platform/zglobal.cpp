#include "zglobal.h"

#include <QWidget>

namespace ZGlobal {

QRect getContentR(bool withTitle)
{
    const int top = withTitle ? 0 : TitleHeight;
    return QRect(QPoint(0, top), QPoint(ScreenWidth - 1, ScreenHeight - SoftKeyHeight - 1));
}

QRect getCstR()
{
    return QRect(0, ScreenHeight - SoftKeyHeight, ScreenWidth, SoftKeyHeight);
}

QRect mapFromGlobalR(const QWidget *widget, const QRect &rect)
{
    const QWidget *parent = widget ? widget->parentWidget() : nullptr;
    if (!parent || !parent->isVisible())
        return rect;
    return QRect(parent->mapFromGlobal(rect.topLeft()), rect.size());
}

} // namespace ZGlobal
