#include "zoptionsmenu.h"

#include "zglobal.h"

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
    auto *action = new QAction(this);
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
    showText(action, text);
    return action;
}

void ZOptionsMenu::showText(QAction *action, const QString &text)
{
    // Shown as it is: "&" is no accelerator and a tab no shortcut column;
    // a text that would make the menu wider than its area ends in an
    // ellipsis.
    QString line = text;
    line.replace(QLatin1Char('\t'), QLatin1Char(' '));
    const int widest = area.width() > 0 ? area.width() : ZGlobal::ScreenWidth;
    int room = widest;
    for (int attempt = 0; attempt < 4; ++attempt) {
        QString shown = fontMetrics().elidedText(line, Qt::ElideRight, qMax(0, room));
        action->setText(shown.replace(QLatin1Char('&'), QLatin1String("&&")));
        const int excess = sizeHint().width() - widest;
        if (excess <= 0)
            break;
        room -= excess;
    }
}

QAction *ZOptionsMenu::itemAt(int index) const
{
    const QList<QAction *> present = actions();
    return index >= 0 && index < present.size() ? present.at(index) : nullptr;
}
