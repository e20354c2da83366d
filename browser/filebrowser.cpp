// Listing one directory into the window's list, and acting on the chosen row.

#include "app/zfileselectdialog.h"
#include "platform/resiconreader.h"
#include "platform/zlistbox.h"
#include "platform/zsettingitem.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

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

// The names QDir::entryList would give for the folder's current filters, in
// the order they come from the file system. entryList walks the same iterator
// but also keeps a QFileInfo per entry in the QDir, some 700 bytes each,
// which more than doubled the peak memory of a large listing. The caller
// sorts the names itself, so the order QDir would sort them in is moot.
QStringList entryNames(const QDir &dir)
{
    QStringList names;
    QDirIterator it(dir);
    while (it.hasNext()) {
        it.next();
        names.append(it.fileName());
    }
    return names;
}

} // namespace

void ZFileSelectDialog::openDir(const QString &path)
{
    printf("enter dir '%s'\n", path.toUtf8().constData());
    RES_ICON_Reader icons;
    listBox->clear();

    QDir dir(path, QString(), QDir::SortFlags(0x10), QDir::Filters(0x007));
    dir.setFilter(QDir::Filters(0x101));
    // A path that names a file is no directory to list either.
    if (!dir.isReadable() || !dir.exists())
        return;

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

    QStringList folders = entryNames(dir);
    printf("dir entry count = %d\n", int(folders.size()));
    folders.sort();
    if (folders.isEmpty())
        addParent(QString());
    // The canonical path is only needed when the first name sorts before ".".
    const bool atRoot = !folders.isEmpty() && folders.first() != QLatin1String(".")
        && folders.first() != ParentText && dir.canonicalPath() == QLatin1String("/");
    int position = 1;
    for (const QString &name : std::as_const(folders)) {
        const QByteArray shown = name.toUtf8();
        printf("dir:%s\n", shown.constData());
        if (position == 1 && name != QLatin1String(".") && name != ParentText && !atRoot) {
            addParent(QString());
            position = 2;
            printf("dir:%s\n", shown.constData());
        }
        addEntry(name, FolderIcon);
        ++position;
    }

    // No filter at all lists every file.
    dir.setNameFilters(fileFilter.trimmed().isEmpty() ? QStringList()
                                                      : QDir::nameFiltersFromString(fileFilter));
    dir.setFilter(QDir::Filters(0x102));
    QStringList files = entryNames(dir);
    printf("file entry count = %d\n", int(files.size()));
    files.sort();
    for (const QString &name : std::as_const(files)) {
        printf("file:%s\n", name.toUtf8().constData());
        addEntry(name, FileIcon);
    }

    currentDir = dir.canonicalPath();
    if (noParentYet && currentDir.length() >= 2)
        addParent(AppendedParentType);
    listBox->setCurrentItem(0);
}

void ZFileSelectDialog::slotSelected(int index)
{
    const ZSettingItem *row = listBox->item(index);
    if (!row)
        return;
    const QString path = currentDir + QLatin1Char('/') + row->getSubItemText(1, 0);
    if (QFileInfo(path).isDir()) {
        listBox->clear();
        openDir(path);
    } else {
        playFile(path);
    }
}
