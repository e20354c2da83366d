#pragma once

#include <QDialog>

class QLabel;
class PlainLine;

// A modal message with a title, a text and an OK button.
class ZMessageDlg : public QDialog
{
    Q_OBJECT
public:
    enum MessageDlgType { TypeInfo = 0, TypeConfirm = 1, TypeOK = 2 };

    ZMessageDlg(const QString &title, const QString &text, MessageDlgType type, int timeout,
                QWidget *parent, const char *name = nullptr, bool modal = true, int flags = 0);
    ~ZMessageDlg() override;

    QString title() const;
    QString text() const;
    void done(int result) override;

private:
    PlainLine *titleLabel;
    QLabel *textLabel;
};
