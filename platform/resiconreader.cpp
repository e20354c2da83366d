#include "resiconreader.h"

#include <QApplication>
#include <QHash>
#include <QStyle>

namespace {

constexpr int IconSize = 16;

QPixmap drawIcon(const QString &name)
{
    QStyle::StandardPixmap which;
    if (name == QLatin1String("fm_folder_small.bmp"))
        which = QStyle::SP_DirIcon;
    else if (name == QLatin1String("msg_unsupport_file_type_small.bmp"))
        which = QStyle::SP_FileIcon;
    else if (name == QLatin1String("gen_back_to_arrw_small.bmp"))
        which = QStyle::SP_FileDialogToParent;
    else
        return QPixmap();
    return QApplication::style()->standardIcon(which).pixmap(IconSize, IconSize);
}

} // namespace

RES_ICON_Reader::RES_ICON_Reader() = default;
RES_ICON_Reader::~RES_ICON_Reader() = default;

QPixmap RES_ICON_Reader::getIcon(const QString &name, bool cached)
{
    Q_UNUSED(cached);
    static QHash<QString, QPixmap> drawn;
    auto it = drawn.constFind(name);
    if (it == drawn.constEnd())
        it = drawn.insert(name, drawIcon(name));
    return it.value();
}
