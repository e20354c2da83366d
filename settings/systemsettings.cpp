#include "systemsettings.h"

namespace {
QString &path()
{
    static QString where = QStringLiteral("/ezxlocal/download/appwrite/setup/ezx_system.cfg");
    return where;
}
} // namespace

QString systemSettingsPath()
{
    return path();
}

void setSystemSettingsPath(const QString &where)
{
    path() = where;
}
