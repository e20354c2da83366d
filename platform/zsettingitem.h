#pragma once

#include <QPixmap>
#include <QString>

class ZListBox;

// One row of a ZListBox: an icon in column 0 and text sub-items. The row is
// made for a list and becomes the list's when it is inserted into it.
class ZSettingItem
{
public:
    ZSettingItem(ZListBox *listBox, const QString &type);
    ~ZSettingItem();
    ZSettingItem(const ZSettingItem &) = delete;
    ZSettingItem &operator=(const ZSettingItem &) = delete;

    void setPixmap(int column, const QPixmap &pixmap);
    QPixmap pixmap(int column) const;
    void appendSubItem(int index, const QString &text, bool refresh);
    // The text given to appendSubItem(index, ...), unchanged; null if none.
    QString getSubItemText(int index, int column) const;
    QString type() const { return itemType; }
    // A short text the list draws at the right of the row, beside the
    // sub-item texts and apart from them (ZListBox::setMark).
    QString mark() const { return markText; }
    void setMark(const QString &text) { markText = text; }
    ZListBox *listBox() const { return list; }

private:
    ZListBox *list;
    QString itemType;
    QPixmap icon;          // column 0, the only column that holds a picture
    QString texts[2];      // sub-items 0 and 1; rows of this program use 1
    QString markText;
};
