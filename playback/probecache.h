#pragma once

#include "mediainfo.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <deque>
#include <optional>
#include <utility>

// A file as far as telling that it has changed goes: the bytes of its path,
// its size and times, and which file it is. Only regular files have one (a
// link is followed): a FIFO or a device is not probed.
struct FileStamp
{
    static std::optional<FileStamp> of(const QString &path);

    bool operator==(const FileStamp &other) const;
    bool operator!=(const FileStamp &other) const { return !(*this == other); }

    QByteArray path;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds since the epoch
    qint64 changed = 0;
    quint64 device = 0;
    quint64 inode = 0;
};

// The probes' answers for the run, each for the file as it was probed. At
// most Capacity are kept; the one used least recently goes first.
class ProbeCache
{
public:
    static constexpr int Capacity = 256;

    // The answer for the file as it is now, or null: never probed, or
    // changed since.
    const MediaInfo *find(const FileStamp &now);
    void keep(const FileStamp &stamp, const MediaInfo &info);
    int size() const { return int(entries.size()); }

private:
    std::deque<std::pair<FileStamp, MediaInfo>> entries; // the most recently used last
};
