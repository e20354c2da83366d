#pragma once

#include <QByteArray>
#include <QString>

// Saving a file the user keeps (settings, notes) so that nothing of it is
// ever lost.
//
// saveFile writes bytes to a new file beside the one at path, checks every
// write, flushes it to disk, gives it the owner, group and mode of the file
// it replaces, and only then puts it in that file's place, in one step. A
// path that is a symbolic link stays one: the file it leads to is replaced.
// A new file gets the mode 0666 less the umask.
//
// When any of that fails (a full disk, a quota, a read-only file or folder,
// a link to nothing, an owner that cannot be kept), the file at path stays
// byte for byte as it was, nothing is left beside it, one line on standard
// error names the file and the reason, and saveFile returns false.
bool saveFile(const QString &path, const QByteArray &bytes);

// The line of a failed save, for a caller that gives up before saveFile:
//   morvane: could not save 'PATH': REASON; the file is left as it was
void reportFailedSave(const QString &path, const QString &reason);
