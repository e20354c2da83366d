#include "resiconreader.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr int IconSize = 16;

// The three icons the list shows, drawn here rather than taken from the Qt
// style: the style's icons go through the icon theme and the image format
// plugins, which cost a quarter of the start-up time of the window.

void drawFolder(QPainter &p)
{
    p.setPen(QColor(0x9a, 0x6b, 0x12));
    p.setBrush(QColor(0xe0, 0xa8, 0x3a));
    p.drawRoundedRect(QRectF(1.5, 2.5, 6, 3), 1, 1);   // the tab
    p.setBrush(QColor(0xf2, 0xc2, 0x55));
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 9), 1, 1);  // the body
}

void drawFile(QPainter &p)
{
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(9.5, 1.5);
    page.lineTo(12.5, 4.5);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setPen(QColor(0x80, 0x80, 0x80));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawPolyline(QPolygonF({QPointF(9.5, 1.5), QPointF(9.5, 4.5), QPointF(12.5, 4.5)}));
}

void drawParent(QPainter &p)
{
    p.setPen(QColor(0x2e, 0x7d, 0x32));
    p.setBrush(QColor(0x43, 0xa0, 0x47));
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(8, 12), QPointF(8, 4.5));
    p.drawPolyline(QPolygonF({QPointF(4.5, 8), QPointF(8, 4.5), QPointF(11.5, 8)}));
}

QPixmap drawIcon(const QString &name)
{
    void (*draw)(QPainter &) = nullptr;
    if (name == QLatin1String("fm_folder_small.bmp"))
        draw = drawFolder;
    else if (name == QLatin1String("msg_unsupport_file_type_small.bmp"))
        draw = drawFile;
    else if (name == QLatin1String("gen_back_to_arrw_small.bmp"))
        draw = drawParent;
    else
        return QPixmap();
    QPixmap pixmap(IconSize, IconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return pixmap;
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
