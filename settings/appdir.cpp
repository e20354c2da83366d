#include "appdir.h"

#include <QCoreApplication>
#include <QStringList>

QString appDirFrom(const QString &argv0)
{
    const qsizetype slash = argv0.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString(QLatin1String("")) : argv0.left(slash + 1);
}

QString appDir()
{
    const QStringList args = QCoreApplication::arguments();
    return appDirFrom(args.isEmpty() ? QString() : args.first());
}
