#include "zlistbox.h"

#include "zkbmainwidget.h"
#include "zsettingitem.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTimer>

#include <vector>

namespace {

constexpr int MarkRole = Qt::UserRole;

// A row with a mark: the row's background and highlight across the whole
// width, its icon and text in what the mark leaves, the mark at the right.
class MarkDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QString mark = index.data(MarkRole).toString();
        if (mark.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        row.text.clear();
        row.icon = QIcon();
        row.features &= ~(QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration);
        style->drawControl(QStyle::CE_ItemViewItem, &row, painter, widget);

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 2;
        const int width = option.fontMetrics.horizontalAdvance(mark) + 2 * margin;
        QStyleOptionViewItem left = option;
        left.rect.setRight(option.rect.right() - width);
        left.state &= ~QStyle::State_HasFocus;
        QStyledItemDelegate::paint(painter, left, index);

        const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled)
            ? QPalette::Disabled
            : (option.state & QStyle::State_Active) ? QPalette::Normal : QPalette::Inactive;
        const QPalette::ColorRole role = (option.state & QStyle::State_Selected)
            ? QPalette::HighlightedText : QPalette::Text;
        painter->save();
        painter->setFont(option.font);
        painter->setPen(option.palette.color(group, role));
        painter->drawText(option.rect.adjusted(0, 0, -margin, 0), Qt::AlignRight | Qt::AlignVCenter,
                          mark);
        painter->restore();
    }
};

} // namespace

// Rows live in `items`; the view has been told about the first `announced`
// of them. Announcing in batches keeps a 100,000-row listing from paying for
// one model signal per row.
class ZListBoxModel : public QAbstractListModel
{
public:
    explicit ZListBoxModel(QObject *parent) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : announced;
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid() || index.row() >= announced)
            return QVariant();
        const ZSettingItem *row = items[size_t(index.row())].get();
        switch (role) {
        case Qt::DisplayRole:
            return displayText(row->getSubItemText(1, 0));
        case Qt::DecorationRole:
            return row->pixmap(0);
        case MarkRole:
            return row->mark();
        default:
            return QVariant();
        }
    }

    void append(ZSettingItem *row)
    {
        items.emplace_back(row);
        if (!flushQueued) {
            flushQueued = true;
            QTimer::singleShot(0, this, [this] { announce(); });
        }
    }

    void announce()
    {
        flushQueued = false;
        const int total = int(items.size());
        if (total <= announced)
            return;
        beginInsertRows(QModelIndex(), announced, total - 1);
        announced = total;
        endInsertRows();
    }

    void removeAll()
    {
        beginResetModel();
        items.clear();
        announced = 0;
        endResetModel();
    }

    ZSettingItem *at(int index) const
    {
        return index >= 0 && size_t(index) < items.size() ? items[size_t(index)].get() : nullptr;
    }

    int size() const { return int(items.size()); }

    void rowChanged(int row)
    {
        if (row < announced)
            emit dataChanged(index(row, 0), index(row, 0));
    }

private:
    // Names may hold line breaks and other control characters, and bytes
    // that are no text (kept as lone surrogates, see fsname.h); the row shows
    // them as visible marks, the stored text keeps them.
    static QString displayText(const QString &text)
    {
        QString shown = text;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            QChar &c = shown[i];
            if (c.unicode() < 0x20)
                c = QChar(0x2400 + c.unicode());
            else if (c.unicode() == 0x7f)
                c = QChar(0x2421);
            else if (c.isHighSurrogate() && i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate())
                ++i;
            else if (c.isSurrogate())
                c = QChar(QChar::ReplacementCharacter);
        }
        return shown;
    }

    std::vector<std::unique_ptr<ZSettingItem>> items;
    int announced = 0;
    bool flushQueued = false;
};

ZListBox::ZListBox(const QString &type, QWidget *parent, int flags, int widgetClass)
    : QListView(parent), rows(new ZListBoxModel(this))
{
    Q_UNUSED(type);
    Q_UNUSED(flags);
    Q_UNUSED(widgetClass);
    setModel(rows);
    setItemDelegate(new MarkDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(QSize(16, 16));
    setFocusPolicy(Qt::StrongFocus);
    if (auto *main = qobject_cast<ZKbMainWidget *>(parent ? parent->window() : nullptr))
        main->watchKeysOf(this);
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { emit selected(index.row()); });
}

ZListBox::~ZListBox() = default;

void ZListBox::clear()
{
    rows->removeAll();
}

void ZListBox::insertItem(ZSettingItem *item, int index, bool autoUpdate)
{
    Q_UNUSED(index);
    Q_UNUSED(autoUpdate);
    if (item)
        rows->append(item);
}

ZSettingItem *ZListBox::item(int index) const
{
    return rows->at(index);
}

int ZListBox::count() const
{
    return rows->size();
}

void ZListBox::setCurrentItem(int index)
{
    rows->announce();
    const QModelIndex at = rows->index(index, 0);
    if (!at.isValid())
        return;
    setCurrentIndex(at);
    if (index == 0)
        scrollToTop();
    else
        scrollTo(at);
}

void ZListBox::setMark(int index, const QString &text)
{
    ZSettingItem *row = item(index);
    if (!row || row->mark() == text)
        return;
    row->setMark(text);
    rows->rowChanged(index);
}

int ZListBox::currentItem() const
{
    const QModelIndex at = currentIndex();
    return at.isValid() ? at.row() : -1;
}

void ZListBox::currentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    QListView::currentChanged(current, previous);
    emit highlighted(current.isValid() ? current.row() : -1);
}

void ZListBox::keyPressEvent(QKeyEvent *e)
{
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter || e->key() == Qt::Key_Select) {
        rows->announce();
        const int row = currentItem();
        if (row >= 0) {
            emit selected(row);
            return;
        }
        e->ignore();
        return;
    }
    if (e->key() == Qt::Key_Escape)
        emit backRequested();
    rows->announce();
    QListView::keyPressEvent(e);
}
