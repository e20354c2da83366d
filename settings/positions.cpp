#include "positions.h"

#include "platform/fd.h"
#include "platform/fsname.h"
#include "platform/zconfig.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far more than 1,000 lines of the longest paths; a larger file is read this
// far (a file made by hand cannot make the start slow).
constexpr qsizetype ReadLimit = 8 << 20;

const char Header[] =
    "# Where Morvane left each file it played, the most recent first (at most 1000).\n"
    "# A line: the second it was left at (0: none), \"seen\" once it has played to\n"
    "# its end or \"-\", its size in bytes, and its path.\n";

bool parse(const QByteArray &line, Positions::Entry *entry)
{
    const qsizetype a = line.indexOf(' ');
    const qsizetype b = a < 0 ? -1 : line.indexOf(' ', a + 1);
    const qsizetype c = b < 0 ? -1 : line.indexOf(' ', b + 1);
    if (c < 0)
        return false;
    bool secondsOk = false;
    bool sizeOk = false;
    entry->seconds = line.left(a).toLongLong(&secondsOk);
    const QByteArray seen = line.mid(a + 1, b - a - 1);
    entry->size = line.mid(b + 1, c - b - 1).toLongLong(&sizeOk);
    entry->seen = seen == "seen";
    entry->path = fsEncode(ZConfig::decodeValue(line.mid(c + 1)));
    return secondsOk && sizeOk && entry->seconds >= 0 && entry->size >= 0
        && (entry->seen || seen == "-") && entry->path.startsWith('/');
}

// The folder part of a kept path: "/" for a file of the root folder.
QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QString nameOf(const QByteArray &path)
{
    return fsDecode(path.mid(path.lastIndexOf('/') + 1));
}

} // namespace

Positions::Positions(const QString &path)
    : filePath(path)
{
    const Fd fd(open(fsEncode(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            readError = QString::fromLocal8Bit(strerror(errno));
        return;
    }
    QByteArray all;
    char buffer[65536];
    while (all.size() < ReadLimit) {
        const ssize_t n = read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            readError = QString::fromLocal8Bit(strerror(errno));
        if (n <= 0)
            break;
        all.append(buffer, n);
    }
    if (!readError.isEmpty())
        return;
    if (all.size() >= ReadLimit)
        all.truncate(all.lastIndexOf('\n') + 1); // no line cut short
    QSet<QByteArray> taken;
    for (const QByteArray &line : all.split('\n')) {
        Entry entry;
        if (int(entries.size()) == Limit)
            break;
        if (line.startsWith('#') || !parse(line, &entry) || taken.contains(entry.path))
            continue;
        taken.insert(entry.path);
        entries.push_back(std::move(entry));
    }
}

const Positions::Entry *Positions::find(const QByteArray &path, qint64 size) const
{
    for (const Entry &entry : entries) {
        if (entry.path == path)
            return entry.size == size ? &entry : nullptr;
    }
    return nullptr;
}

QHash<QString, Positions::Entry> Positions::inFolder(const QString &dir) const
{
    QHash<QString, Entry> here;
    const QByteArray folder = fsEncode(dir);
    for (const Entry &entry : entries) {
        if (folderOf(entry.path) == folder)
            here.insert(nameOf(entry.path), entry);
    }
    return here;
}

QString Positions::lastPlayedIn(const QString &dir) const
{
    const QByteArray folder = fsEncode(dir);
    for (const Entry &entry : entries) {
        if (folderOf(entry.path) == folder)
            return nameOf(entry.path);
    }
    return QString();
}

void Positions::put(const Entry &entry)
{
    const auto same = std::find_if(entries.begin(), entries.end(),
                                   [&](const Entry &e) { return e.path == entry.path; });
    if (same != entries.end())
        entries.erase(same);
    entries.insert(entries.begin(), entry);
    if (int(entries.size()) > Limit)
        entries.resize(Limit);
}

QByteArray Positions::text() const
{
    QByteArray out(Header);
    out.reserve(out.size() + qsizetype(entries.size()) * 96);
    for (const Entry &entry : entries) {
        out += QByteArray::number(entry.seconds) + (entry.seen ? " seen " : " - ")
            + QByteArray::number(entry.size) + ' ' + ZConfig::encodeValue(fsDecode(entry.path))
            + '\n';
    }
    return out;
}

qint64 Positions::fileSize(const QByteArray &key)
{
    struct stat st;
    if (::stat(key.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
    return qint64(st.st_size);
}

QByteArray Positions::key(const QString &path)
{
    QByteArray bytes = fsEncode(path);
    if (bytes.startsWith("//"))
        bytes.remove(0, 1);
    return bytes;
}

bool Positions::counts(double seconds, double length)
{
    return seconds >= 10 && (length <= 0 || seconds <= 0.95 * length);
}
