#pragma once

#include <QListView>

#include <memory>

class ZSettingItem;
class ZListBoxModel;

// The list of rows that the browser fills. Rows appear in insertion order and
// are owned by the list. Up/Down/Page keys and the mouse move the current row,
// which highlighted(row) tells; Enter or a click emits selected(row); Escape
// emits backRequested() and is otherwise left to the window, as before.
//
// A row may carry a mark (ZSettingItem::mark), drawn at its right end, the
// row's own texts elided beside it.
//
// Inserting is cheap: rows are handed to the view in batches, at the next
// turn of the event loop or at the next call that needs the view up to date.
class ZListBox : public QListView
{
    Q_OBJECT
public:
    ZListBox(const QString &type, QWidget *parent, int flags = 0, int widgetClass = 0);
    ~ZListBox() override;

    void clear();
    // index -1 appends; the list takes ownership of item.
    void insertItem(ZSettingItem *item, int index = -1, bool autoUpdate = true);
    ZSettingItem *item(int index) const;
    int count() const;

    // Makes row index the current row and scrolls it into view; row 0 brings
    // the list back to its top.
    virtual void setCurrentItem(int index);
    int currentItem() const;
    // Sets row index's mark; an empty text draws none.
    void setMark(int index, const QString &text);

signals:
    // The current row is now index (-1: none).
    void highlighted(int index);
    void selected(int index);
    void backRequested();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    ZListBoxModel *rows;
};
