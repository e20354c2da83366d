#pragma once

#include <QString>

// The program's directory: argv[0] up to and including its last "/", or the
// empty string when argv[0] holds no "/". mplayer.ini and the player lie there.
QString appDirFrom(const QString &argv0);
// appDirFrom() of the running application's argv[0].
QString appDir();
