#pragma once

#include <QPixmap>
#include <QString>

// Named handset icons, mapped to icons of our own. Each name is
// drawn once per process; later fetches share the same pixmap.
class RES_ICON_Reader
{
public:
    RES_ICON_Reader();
    ~RES_ICON_Reader();

    // The named icon, or a null pixmap for a name that is not known.
    QPixmap getIcon(const QString &name, bool cached);
};
