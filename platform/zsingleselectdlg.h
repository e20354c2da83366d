#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class PlainLine;
class QListWidget;

// A modal list of choices. Choosing an entry (Enter, or a click) checks it
// and closes the dialog; Escape or Cancel closes it with nothing checked.
class ZSingleSelectDlg : public QDialog
{
    Q_OBJECT
public:
    ZSingleSelectDlg(const QString &title, const QString &text, QWidget *parent,
                     const char *name = nullptr, bool modal = true, int flags = 0, int type = 0);
    ~ZSingleSelectDlg() override;

    void addItemsList(const QStringList &items);
    QStringList itemsList() const;
    QString title() const;
    void done(int result) override;
    // The checked entry counted from 0, or -1 when none is checked.
    int getCheckedItemIndex() const;

private:
    void choose(int row);

    PlainLine *titleLabel;
    QListWidget *choices;
    QStringList texts;
    int checked = -1;
};
