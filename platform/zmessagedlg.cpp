#include "zmessagedlg.h"

#include "dialogparts.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ZMessageDlg::ZMessageDlg(const QString &title, const QString &text, MessageDlgType type,
                         int timeout, QWidget *parent, const char *name, bool modal, int flags)
    : QDialog(parent)
{
    Q_UNUSED(type);
    Q_UNUSED(timeout);
    Q_UNUSED(flags);
    titleLabel = setUpDialog(this, title, name, modal);
    auto *layout = new QVBoxLayout(this);
    textLabel = new QLabel(text, this);
    textLabel->setWordWrap(true);
    textLabel->setTextFormat(Qt::PlainText);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(titleLabel);
    layout->addWidget(textLabel, 1);
    layout->addWidget(buttons);
    buttons->button(QDialogButtonBox::Ok)->setFocus();

    // As wide as the window it belongs to, and tall enough for the wrapped
    // text: a wrapping label's own size hint is a guess that cuts lines off.
    const int width = ownerWidth(parent);
    setFixedWidth(width);
    resize(width, layout->totalHeightForWidth(width));
}

ZMessageDlg::~ZMessageDlg() = default;

QString ZMessageDlg::title() const
{
    return titleLabel->fullText();
}

QString ZMessageDlg::text() const
{
    return textLabel->text();
}

void ZMessageDlg::done(int result)
{
    QDialog::done(result);
    returnFocusToOwner(this);
}
