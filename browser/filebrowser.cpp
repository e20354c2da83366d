// Listing one directory into the window's list, and acting on the chosen row.
//
// Names are read and tested as the bytes the file system holds and cross into
// QString only through fsDecode/fsEncode, so a name that is not UTF-8 is
// listed, entered and played like any other.

#include "app/zfileselectdialog.h"
#include "platform/fsname.h"
#include "platform/resiconreader.h"
#include "platform/zlistbox.h"
#include "platform/zsettingitem.h"
#include "playback/positionkeeper.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString ParentText = QStringLiteral("..");
const QString AppendedParentType = QStringLiteral("%I%M");
const char FolderIcon[] = "fm_folder_small.bmp";
const char FileIcon[] = "msg_unsupport_file_type_small.bmp";
const char ParentIcon[] = "gen_back_to_arrw_small.bmp";

void addRow(ZListBox *list, RES_ICON_Reader &icons, const QString &type, const char *icon,
            const QString &text)
{
    auto *item = new ZSettingItem(list, type);
    item->setPixmap(0, icons.getIcon(QLatin1String(icon), true));
    item->appendSubItem(1, text, false);
    list->insertItem(item, -1, true);
}

// The bytes of a path as the system calls take it; an empty path is the
// working directory.
QByteArray systemPath(const QString &path)
{
    return path.isEmpty() ? QByteArray(".") : fsEncode(path);
}

struct DirCloser
{
    void operator()(DIR *d) const { closedir(d); }
};

// One pass over a directory: its folders ("." and ".." among them, links to
// folders too) and its files. A file is a regular file or a link to anything
// that is not a folder, a device behind a link included; devices, pipes and
// sockets themselves and dangling links are neither. Each entry is one or
// the other, never both.
struct Entries
{
    QStringList folders;
    QStringList files;
};

bool readEntries(const QByteArray &path, Entries *out)
{
    std::unique_ptr<DIR, DirCloser> dir(opendir(path.constData()));
    if (!dir)
        return false;
    const int fd = dirfd(dir.get());
    while (const dirent *entry = readdir(dir.get())) {
        unsigned char type = entry->d_type;
        struct stat st;
        if (type == DT_UNKNOWN) {
            if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG
                : S_ISLNK(st.st_mode) ? DT_LNK : DT_UNKNOWN;
        }
        bool folder = false;
        bool file = false;
        if (type == DT_DIR) {
            folder = true;
        } else if (type == DT_REG) {
            file = true;
        } else if (type == DT_LNK) {
            if (fstatat(fd, entry->d_name, &st, 0) != 0)
                continue;
            folder = S_ISDIR(st.st_mode);
            file = !folder;
        }
        if (folder)
            out->folders.append(fsDecode(QByteArray(entry->d_name)));
        else if (file)
            out->files.append(fsDecode(QByteArray(entry->d_name)));
    }
    return true;
}

// The filter's patterns ("*.avi;*.mp4"), matched without regard to case as
// QDir matches its name filters. Bytes that are no text count as one
// unknown character each.
class NameFilter
{
public:
    explicit NameFilter(const QString &filter)
    {
        if (filter.trimmed().isEmpty())
            return;
        for (const QString &pattern : QDir::nameFiltersFromString(filter))
            patterns.append(QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive));
    }

    bool matches(const QString &name) const
    {
        if (patterns.isEmpty())
            return true;
        QString text = name;
        for (QChar &c : text) {
            if (c.isSurrogate())
                c = QChar(QChar::ReplacementCharacter);
        }
        for (const QRegularExpression &re : patterns) {
            if (re.match(text).hasMatch())
                return true;
        }
        return false;
    }

private:
    QList<QRegularExpression> patterns;
};

// The folders and the files that pass the filter, each sorted as listed.
bool readListing(const QByteArray &path, const QString &fileFilter, Entries *out)
{
    if (!readEntries(path, out))
        return false;
    const NameFilter filter(fileFilter);
    out->files.removeIf([&](const QString &name) { return !filter.matches(name); });
    out->folders.sort();
    out->files.sort();
    return true;
}

size_t hashOf(const Entries &entries)
{
    return qHashMulti(0, entries.folders, entries.files);
}

// The canonical form of a directory path, or an empty string.
QString canonicalPath(const QByteArray &path)
{
    std::unique_ptr<char, decltype(&free)> resolved(realpath(path.constData(), nullptr), &free);
    return resolved ? fsDecode(QByteArray(resolved.get())) : QString(QLatin1String(""));
}

} // namespace

void ZFileSelectDialog::openDir(const QString &path)
{
    listDir(path);
}

bool ZFileSelectDialog::listDir(const QString &path)
{
    const QByteArray bytes = systemPath(path);
    printf("enter dir '%s'\n", fsEncode(path).constData());

    // A folder that cannot be listed leaves the list and currentDir as they
    // were: the user stays where they were, with the way up still there.
    FolderStamp stamp = FolderStamp::of(bytes);
    Entries entries;
    if (!readListing(bytes, fileFilter, &entries))
        return false;
    stamp.names = hashOf(entries);

    RES_ICON_Reader icons;
    listBox->clear();

    bool noParentYet = true;
    const auto addParent = [&](const QString &type) {
        addRow(listBox, icons, type, ParentIcon, ParentText);
        noParentYet = false;
    };
    // "." adds nothing, ".." is the parent entry, anything else a row of kind.
    const auto addEntry = [&](const QString &name, const char *icon) {
        if (name == QLatin1String("."))
            return;
        if (name == ParentText)
            addParent(QString());
        else
            addRow(listBox, icons, QString(), icon, name);
    };

    const QString canonical = canonicalPath(bytes);
    printf("dir entry count = %d\n", int(entries.folders.size()));
    if (entries.folders.isEmpty())
        addParent(QString());
    const bool atRoot = canonical == QLatin1String("/");
    int position = 1;
    for (const QString &name : std::as_const(entries.folders)) {
        const QByteArray shown = fsEncode(name);
        printf("dir:%s\n", shown.constData());
        if (position == 1 && name != QLatin1String(".") && name != ParentText && !atRoot) {
            addParent(QString());
            position = 2;
            printf("dir:%s\n", shown.constData());
        }
        addEntry(name, FolderIcon);
        ++position;
    }

    printf("file entry count = %d\n", int(entries.files.size()));
    const int firstFile = listBox->count();
    for (const QString &name : std::as_const(entries.files)) {
        printf("file:%s\n", fsEncode(name).constData());
        addEntry(name, FileIcon);
    }

    currentDir = canonical;
    listedStamp = stamp;
    if (noParentYet && currentDir.length() >= 2)
        addParent(AppendedParentType);
    markListed(firstFile, entries.files);
    listBox->setCurrentItem(0);
    return true;
}

void ZFileSelectDialog::openStartDir(const QString &path)
{
    startDirUnlisted = false;
    if (listDir(path)) {
        if (positions)
            landOn(positions->positions().lastPlayedIn(currentDir));
        return;
    }
    // A start folder that is gone (a card not inserted) or closed to us.
    startDirUnlisted = true;
    listNearestAbove(path);
}

bool ZFileSelectDialog::listNearestAbove(const QString &path)
{
    QString dir = path;
    if (!dir.startsWith(QLatin1Char('/'))) {
        char *cwd = getcwd(nullptr, 0);
        dir = (cwd ? fsDecode(QByteArray(cwd)) : QString()) + QLatin1Char('/') + dir;
        free(cwd);
    }
    dir = QDir::cleanPath(dir);
    while (dir != QLatin1String("/")) {
        const qsizetype slash = dir.lastIndexOf(QLatin1Char('/'));
        dir = slash <= 0 ? QStringLiteral("/") : dir.left(slash);
        if (listDir(dir))
            return true;
    }
    return false;
}

void ZFileSelectDialog::openParentDir()
{
    const int row = rowOf(ParentText);
    if (row >= 0)
        slotSelected(row);
}

QString ZFileSelectDialog::dirToRemember() const
{
    // Quitting at once after a start folder that could not be listed keeps
    // the stored one: the card goes back in, the folder is there again.
    return startDirUnlisted ? lastDir : currentDir;
}

void ZFileSelectDialog::relist(int row)
{
    const ZSettingItem *was = listBox->item(row);
    const QString name = was ? was->getSubItemText(1, 0) : QString();
    if (!listDir(currentDir)) {
        // The folder shown has gone (a card pulled) or was closed to us.
        if (listNearestAbove(currentDir))
            startDirUnlisted = false;
        return;
    }
    const int at = was ? rowOf(name) : -1;
    listBox->setCurrentItem(at >= 0 ? at : std::max(0, std::min(row, listBox->count() - 1)));
}

void ZFileSelectDialog::relistIfChanged()
{
    if (quitting || currentDir.isEmpty())
        return;
    const QByteArray bytes = systemPath(currentDir);
    FolderStamp now = FolderStamp::of(bytes);
    if (listedStamp.surelySame(now))
        return;
    Entries entries;
    if (now.exists && readListing(bytes, fileFilter, &entries)
        && hashOf(entries) == listedStamp.names) {
        // Touched, but what the list shows is still so.
        now.names = listedStamp.names;
        listedStamp = now;
        return;
    }
    relist(listBox->currentItem());
}

void ZFileSelectDialog::slotSelected(int index)
{
    const ZSettingItem *row = listBox->item(index);
    if (!row)
        return;
    const QString name = row->getSubItemText(1, 0);
    const QString path = currentDir + QLatin1Char('/') + name;
    struct stat st;
    if (stat(fsEncode(path).constData(), &st) != 0) {
        // Gone since it was listed, or the folder shown has gone: no path
        // that leads nowhere is handed to the player.
        relist(index);
    } else if (S_ISDIR(st.st_mode)) {
        const QString from = currentDir;
        if (!listDir(path))
            return;
        startDirUnlisted = false;
        // Going up, with RESUME, lands on the folder it came from.
        const qsizetype slash = from.lastIndexOf(QLatin1Char('/'));
        if (positions && name == ParentText
            && currentDir == (slash == 0 ? QStringLiteral("/") : from.left(slash)))
            landOn(from.mid(slash + 1));
    } else {
        playFile(path);
    }
}

QString ZFileSelectDialog::rowPath(int row) const
{
    const ZSettingItem *item = listBox->item(row);
    return item ? currentDir + QLatin1Char('/') + item->getSubItemText(1, 0) : QString();
}

int ZFileSelectDialog::nextFileRow(int row) const
{
    for (int next = row + 1; row >= 0 && next < int(listBox->count()); ++next) {
        // A file gone since the list was read is passed over.
        struct stat st;
        if (stat(fsEncode(rowPath(next)).constData(), &st) == 0 && !S_ISDIR(st.st_mode))
            return next;
    }
    return -1;
}

int ZFileSelectDialog::currentRow() const
{
    return listBox->currentItem();
}

int ZFileSelectDialog::rowOf(const QString &name) const
{
    for (int row = 0; row < listBox->count(); ++row) {
        if (listBox->item(row)->getSubItemText(1, 0) == name)
            return row;
    }
    return -1;
}

void ZFileSelectDialog::setCurrentRow(int row)
{
    listBox->setCurrentItem(row);
}
