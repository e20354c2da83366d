#include "folderstamp.h"

#include <sys/stat.h>
#include <time.h>

namespace {

// Coarser than any file system's times, with a margin for clocks.
constexpr qint64 TrustedAfterNs = 3'000'000'000;

qint64 nanoseconds(const timespec &t)
{
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

FolderStamp FolderStamp::of(const QByteArray &path)
{
    FolderStamp stamp;
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    stamp.takenAt = nanoseconds(now);
    struct stat st;
    if (stat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.modified = nanoseconds(st.st_mtim);
    stamp.changed = nanoseconds(st.st_ctim);
    return stamp;
}

bool FolderStamp::surelySame(const FolderStamp &now) const
{
    return exists && now.exists && device == now.device && inode == now.inode
        && modified == now.modified && changed == now.changed
        && modified < takenAt - TrustedAfterNs && changed < takenAt - TrustedAfterNs;
}
