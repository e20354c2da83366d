#include "zoptionsmenu.h"

#include <QPixmap>

ZOptionsMenu::ZOptionsMenu(const QRect &area, QWidget *parent, const char *name, int flags,
                           int widgetClass, bool autoClose)
    : QMenu(parent), area(area)
{
    Q_UNUSED(flags);
    Q_UNUSED(widgetClass);
    Q_UNUSED(autoClose);
    if (name)
        setObjectName(QString::fromUtf8(name));
}

ZOptionsMenu::~ZOptionsMenu() = default;

QAction *ZOptionsMenu::addItem(const QString &text, const QPixmap *icon, bool enabled,
                               bool checkable, bool checked, int id, int index, bool separator)
{
    auto *action = new QAction(text, this);
    if (icon && !icon->isNull())
        action->setIcon(QIcon(*icon));
    action->setEnabled(enabled);
    action->setCheckable(checkable);
    action->setChecked(checked);
    action->setData(id);
    const QList<QAction *> present = actions();
    if (index >= 0 && index < present.size())
        insertAction(present.at(index), action);
    else
        addAction(action);
    if (separator)
        addSeparator();
    return action;
}

QAction *ZOptionsMenu::itemAt(int index) const
{
    const QList<QAction *> present = actions();
    return index >= 0 && index < present.size() ? present.at(index) : nullptr;
}
