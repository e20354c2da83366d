// What the list shows of the files played, with RESUME: where each was left
// or that it was seen, drawn beside its name (never in it: the name is what
// is joined to the folder); and the row the list lands on.

#include "app/zfileselectdialog.h"
#include "platform/zlistbox.h"
#include "platform/znowplaying.h"
#include "platform/zsettingitem.h"
#include "playback/positionkeeper.h"

#include <algorithm>

namespace {

const QString SeenMark = QStringLiteral("\u2714"); // ✔

// The mark of the file at path if it is the file kept (the same size), else
// none. Only files whose path is kept are looked at on disk.
QString markOf(const QString &path, const Positions::Entry &kept)
{
    if (Positions::fileSize(Positions::key(path)) != kept.size)
        return QString();
    if (Positions::counts(double(kept.seconds), 0))
        return ZNowPlaying::clock(double(kept.seconds));
    return kept.seen ? SeenMark : QString();
}

} // namespace

// The files just listed are the rows from firstFile on, in the order of files
// (sorted): each file kept is found by its name, whatever the folder's size.
void ZFileSelectDialog::markListed(int firstFile, const QStringList &files)
{
    if (!positions)
        return;
    const QHash<QString, Positions::Entry> here = positions->positions().inFolder(currentDir);
    for (auto kept = here.cbegin(); kept != here.cend(); ++kept) {
        const auto at = std::lower_bound(files.cbegin(), files.cend(), kept.key());
        if (at == files.cend() || *at != kept.key())
            continue;
        const int row = firstFile + int(at - files.cbegin());
        listBox->setMark(row, markOf(rowPath(row), *kept));
    }
}

// After a playback: every row again, as any mark may have changed.
void ZFileSelectDialog::markRows()
{
    if (!positions)
        return;
    const QHash<QString, Positions::Entry> here = positions->positions().inFolder(currentDir);
    for (int row = 0; row < listBox->count(); ++row) {
        const auto kept = here.constFind(listBox->item(row)->getSubItemText(1, 0));
        listBox->setMark(row, kept == here.constEnd() ? QString() : markOf(rowPath(row), *kept));
    }
}

void ZFileSelectDialog::landOn(const QString &name)
{
    const int row = name.isEmpty() ? -1 : rowOf(name);
    if (row >= 0)
        listBox->setCurrentItem(row);
}
