#pragma once

// What the handset layer's dialogs have in common.

#include <QDialog>
#include <QFont>
#include <QLabel>

// One line of plain text that takes the width it is given and no more: a
// longer text ends in an ellipsis, so it never pushes anything else aside.
// fullText() is the text as given.
class PlainLine : public QLabel
{
public:
    PlainLine(const QString &text, QWidget *parent) : QLabel(parent), full(text)
    {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        showElided();
    }
    QString fullText() const { return full; }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

protected:
    void resizeEvent(QResizeEvent *e) override
    {
        QLabel::resizeEvent(e);
        showElided();
    }

private:
    void showElided()
    {
        QString line = full;
        for (QChar &c : line) {
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
                c = QLatin1Char(' ');
        }
        setText(fontMetrics().elidedText(line, Qt::ElideRight, qMax(0, contentsRect().width())));
    }

    QString full;
};

// Names the dialog, sets its modality and title, and makes the bold title
// line at its top.
inline PlainLine *setUpDialog(QDialog *dialog, const QString &title, const char *name, bool modal)
{
    if (name)
        dialog->setObjectName(QString::fromUtf8(name));
    dialog->setModal(modal);
    dialog->setWindowTitle(title);
    auto *label = new PlainLine(title, dialog);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// The width a dialog takes: that of the window it belongs to, or of the
// handset screen when it has none.
inline int ownerWidth(const QWidget *parent)
{
    return parent ? parent->window()->width() : 240;
}

// Hands the keyboard back to the window a dialog belongs to once the dialog
// closes. A window manager does this on a desktop; on a bare X server (the
// headless run, the framebuffer) the focus would otherwise go nowhere and
// the keys after a dialog would be lost.
inline void returnFocusToOwner(QWidget *dialog)
{
    if (QWidget *owner = dialog->parentWidget())
        owner->window()->activateWindow();
}
