#pragma once

#include <QString>

// The handset's system settings file, which holds the display time-out. It
// is only read. Tests point it elsewhere.
QString systemSettingsPath();
void setSystemSettingsPath(const QString &path);
