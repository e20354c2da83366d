#include "probecache.h"

#include "platform/fsname.h"

#include <algorithm>
#include <sys/stat.h>

std::optional<FileStamp> FileStamp::of(const QString &path)
{
    FileStamp stamp;
    stamp.path = fsEncode(path);
    struct stat st;
    if (::stat(stamp.path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    stamp.size = st.st_size;
    stamp.modified = st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
    stamp.changed = st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    return stamp;
}

bool FileStamp::operator==(const FileStamp &other) const
{
    return path == other.path && size == other.size && modified == other.modified
        && changed == other.changed && device == other.device && inode == other.inode;
}

const MediaInfo *ProbeCache::find(const FileStamp &now)
{
    const auto at = std::find_if(entries.begin(), entries.end(),
                                 [&](const auto &entry) { return entry.first.path == now.path; });
    if (at == entries.end())
        return nullptr;
    if (at->first != now) {
        entries.erase(at); // the file has changed: its answer is no more
        return nullptr;
    }
    std::rotate(at, at + 1, entries.end());
    return &entries.back().second;
}

void ProbeCache::keep(const FileStamp &stamp, const MediaInfo &info)
{
    const auto at = std::find_if(entries.begin(), entries.end(),
                                 [&](const auto &entry) { return entry.first.path == stamp.path; });
    if (at != entries.end())
        entries.erase(at);
    if (int(entries.size()) >= Capacity)
        entries.pop_front();
    entries.emplace_back(stamp, info);
}
