#include "safesave.h"

#include "fsname.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString because(const char *what, int error)
{
    return QLatin1String(what) + QLatin1String(": ") + QString::fromLocal8Bit(strerror(error));
}

// The file a save replaces: path itself, or where its links lead. Only a
// regular file is replaced; *existing is false when there is none yet.
bool findTarget(const QByteArray &path, QByteArray *target, struct stat *existing, bool *exists,
                QString *why)
{
    *target = path;
    *exists = false;
    if (lstat(path.constData(), existing) != 0) {
        if (errno == ENOENT)
            return true;
        *why = because("cannot look at it", errno);
        return false;
    }
    if (S_ISLNK(existing->st_mode)) {
        std::unique_ptr<char, decltype(&free)> real(realpath(path.constData(), nullptr), &free);
        if (!real) {
            const int error = errno;
            char to[4096];
            const ssize_t n = readlink(path.constData(), to, sizeof to - 1);
            *why = error == ENOENT && n > 0
                ? QStringLiteral("it is a link to '%1', which is not there")
                      .arg(fsDecode(QByteArray(to, int(n))))
                : because("cannot follow its link", error);
            return false;
        }
        *target = real.get();
        if (stat(target->constData(), existing) != 0) {
            *why = because("cannot look at it", errno);
            return false;
        }
    }
    if (!S_ISREG(existing->st_mode)) {
        *why = QStringLiteral("it is not a regular file");
        return false;
    }
    *exists = true;
    return true;
}

// A new file beside target, only ours: its name in *name.
int createBeside(const QByteArray &target, bool replacing, QByteArray *name)
{
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray() : target.left(slash + 1);
    const QByteArray base = target.mid(slash + 1);
    // The user's umask shapes a new file; a replacement gets the old mode.
    const mode_t mode = replacing ? 0600 : 0666;
    for (int attempt = 0;; ++attempt) {
        *name = dir + '.' + base + '.' + QByteArray::number(getpid()) + '-'
            + QByteArray::number(attempt);
        const int fd = open(name->constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST || attempt == 100)
            return fd;
    }
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *at = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = write(fd, at, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        at += n;
        left -= n;
    }
    return true;
}

// The temporary file, removed unless it has taken the place of the old one.
struct Temporary
{
    QByteArray name;
    int fd = -1;
    bool placed = false;
    ~Temporary()
    {
        if (fd >= 0)
            close(fd);
        if (!placed && !name.isEmpty())
            unlink(name.constData());
    }
};

bool replace(const QByteArray &target, const struct stat *old, const QByteArray &bytes,
             QString *why)
{
    // Root may write anything; anyone else is told no for a read-only file,
    // as for a write in place.
    if (old && access(target.constData(), W_OK) != 0) {
        *why = because("cannot write it", errno);
        return false;
    }
    Temporary temp;
    temp.fd = createBeside(target, old != nullptr, &temp.name);
    if (temp.fd < 0) {
        *why = because("cannot make a new file beside it", errno);
        temp.name.clear();
        return false;
    }
    struct stat made;
    if (old && fstat(temp.fd, &made) == 0) {
        // The owner first: a change of owner clears the set-id bits.
        if ((made.st_uid != old->st_uid || made.st_gid != old->st_gid)
            && fchown(temp.fd, old->st_uid, old->st_gid) != 0) {
            *why = because("cannot keep its owner and group", errno);
            return false;
        }
        if ((made.st_mode & 07777) != (old->st_mode & 07777)
            && fchmod(temp.fd, old->st_mode & 07777) != 0) {
            *why = because("cannot keep its mode", errno);
            return false;
        }
    }
    if (!writeAll(temp.fd, bytes)) {
        *why = because("cannot write it", errno);
        return false;
    }
    if (fsync(temp.fd) != 0) {
        *why = because("cannot put it on disk", errno);
        return false;
    }
    const int fd = temp.fd;
    temp.fd = -1;
    if (close(fd) != 0) {
        *why = because("cannot write it", errno);
        return false;
    }
    if (rename(temp.name.constData(), target.constData()) != 0) {
        *why = because("cannot put the new file in its place", errno);
        return false;
    }
    temp.placed = true;
    // The new name on disk too; the file is whole whatever happens here.
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray dir = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const int dirFd = open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)fsync(dirFd);
        close(dirFd);
    }
    return true;
}

} // namespace

bool saveFile(const QString &path, const QByteArray &bytes)
{
    QByteArray target;
    struct stat old;
    bool exists = false;
    QString why;
    if (findTarget(fsEncode(path), &target, &old, &exists, &why)
        && replace(target, exists ? &old : nullptr, bytes, &why))
        return true;
    reportFailedSave(path, why);
    return false;
}

void reportFailedSave(const QString &path, const QString &reason)
{
    fprintf(stderr, "morvane: could not save '%s': %s; the file is left as it was\n",
            fsEncode(path).constData(), reason.toUtf8().constData());
    fflush(stderr);
}
