#pragma once

// What the handset layer's dialogs have in common.

#include <QDialog>
#include <QFont>
#include <QLabel>

// Names the dialog, sets its modality and title, and makes the bold title
// line at its top.
inline QLabel *setUpDialog(QDialog *dialog, const QString &title, const char *name, bool modal)
{
    if (name)
        dialog->setObjectName(QString::fromUtf8(name));
    dialog->setModal(modal);
    dialog->setWindowTitle(title);
    auto *label = new QLabel(title, dialog);
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
