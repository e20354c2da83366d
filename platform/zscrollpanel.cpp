#include "zscrollpanel.h"

#include <QChildEvent>

ZScrollPanel::ZScrollPanel(QWidget *parent, const char *name, int flags, int widgetClass)
    : QWidget(parent)
{
    Q_UNUSED(flags);
    Q_UNUSED(widgetClass);
    if (name)
        setObjectName(QString::fromUtf8(name));
}

ZScrollPanel::~ZScrollPanel() = default;

void ZScrollPanel::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    for (QObject *child : children()) {
        if (auto *w = qobject_cast<QWidget *>(child); w && w->isWindow() == false)
            w->setGeometry(rect());
    }
}

void ZScrollPanel::childEvent(QChildEvent *e)
{
    QWidget::childEvent(e);
    if (e->polished()) {
        if (auto *w = qobject_cast<QWidget *>(e->child()))
            w->setGeometry(rect());
    }
}
