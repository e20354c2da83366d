#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <cstddef>

// What a folder was like when its listing was read, so that a later look can
// tell with one stat() that it has not changed since: the same folder, the
// same times, and times old enough to be trusted. A folder's times are only
// as fine as its file system keeps them (two seconds on FAT), so a change
// made within that of the listing leaves them as they were; a stamp that
// young is not trusted, and the names must be read again to tell.
struct FolderStamp
{
    // The folder at path now; one that is not there has exists false.
    static FolderStamp of(const QByteArray &path);

    // now is this folder, and it has surely not changed.
    bool surelySame(const FolderStamp &now) const;

    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0;
    qint64 takenAt = 0;
    size_t names = 0;    // a hash of the names listed, set by the browser
};
