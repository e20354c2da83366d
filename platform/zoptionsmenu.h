#pragma once

#include <QMenu>
#include <QRect>

class QPixmap;

// The options menu that soft key 0 opens. Items run their slot when chosen.
class ZOptionsMenu : public QMenu
{
    Q_OBJECT
public:
    ZOptionsMenu(const QRect &area, QWidget *parent, const char *name = nullptr, int flags = 0,
                 int widgetClass = 0, bool autoClose = true);
    ~ZOptionsMenu() override;

    // Appends (index -1) or inserts an item; returns its id.
    template <typename Receiver>
    int insertItem(const QString &text, const QPixmap *icon, Receiver *receiver,
                   void (Receiver::*slot)(), bool enabled, bool checkable, bool checked, int id,
                   int index, bool separator)
    {
        QAction *action = addItem(text, icon, enabled, checkable, checked, id, index, separator);
        connect(action, &QAction::triggered, receiver, [receiver, slot] { (receiver->*slot)(); });
        return id;
    }

    QAction *itemAt(int index) const;

private:
    QAction *addItem(const QString &text, const QPixmap *icon, bool enabled, bool checkable,
                     bool checked, int id, int index, bool separator);
    void showText(QAction *action, const QString &text);
    QRect area;
};
