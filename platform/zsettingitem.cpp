#include "zsettingitem.h"

ZSettingItem::ZSettingItem(ZListBox *listBox, const QString &type)
    : list(listBox), itemType(type)
{
}

ZSettingItem::~ZSettingItem() = default;

void ZSettingItem::setPixmap(int column, const QPixmap &pixmap)
{
    if (column == 0)
        icon = pixmap;
}

QPixmap ZSettingItem::pixmap(int column) const
{
    return column == 0 ? icon : QPixmap();
}

void ZSettingItem::appendSubItem(int index, const QString &text, bool refresh)
{
    Q_UNUSED(refresh);
    if (index >= 0 && index < 2)
        texts[index] = text;
}

QString ZSettingItem::getSubItemText(int index, int column) const
{
    Q_UNUSED(column);
    return index >= 0 && index < 2 ? texts[index] : QString();
}
