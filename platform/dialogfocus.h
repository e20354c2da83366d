#pragma once

#include <QWidget>

// Hands the keyboard back to the window a dialog belongs to once the dialog
// closes. A window manager does this on a desktop; on a bare X server (the
// headless run, the framebuffer) the focus would otherwise go nowhere and
// the keys after a dialog would be lost.
inline void returnFocusToOwner(QWidget *dialog)
{
    if (QWidget *owner = dialog->parentWidget())
        owner->window()->activateWindow();
}
