#include "zsoftkey.h"

#include "zglobal.h"
#include "zkbmainwidget.h"
#include "zoptionsmenu.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStyle>

ZSoftKey::ZSoftKey(const char *type, QWidget *parent, QWidget *second)
    : QWidget(parent)
{
    Q_UNUSED(type);
    Q_UNUSED(second);
    setFixedHeight(ZGlobal::SoftKeyHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(2, 2, 2, 2);
    for (int i = 0; i < 2; ++i) {
        keys[i].button = new QPushButton(this);
        keys[i].button->setFocusPolicy(Qt::NoFocus);
        keys[i].button->setFlat(true);
        const auto idx = KEY_IDX(i);
        connect(keys[i].button, &QPushButton::clicked, this, [this, idx] { click(idx); });
    }
    row->addWidget(keys[LEFT].button);
    row->addStretch(1);
    row->addWidget(keys[RIGHT].button);

    if (auto *window = qobject_cast<ZKbMainWidget *>(parent))
        window->attachSoftKey(this);
}

ZSoftKey::~ZSoftKey() = default;

void ZSoftKey::setText(KEY_IDX key, const QString &text, TEXT_PRIORITY priority)
{
    Q_UNUSED(priority);
    keys[key].text = text;
    showTexts();
}

QString ZSoftKey::text(KEY_IDX key) const
{
    return keys[key].text;
}

void ZSoftKey::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    showTexts();
}

void ZSoftKey::showTexts()
{
    const QMargins margins = layout()->contentsMargins();
    const int half = qMax(0, (width() - margins.left() - margins.right() - layout()->spacing()) / 2);
    for (Key &k : keys) {
        QPushButton *b = k.button;
        const int padding = 2 * (b->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b)
                                 + b->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b));
        QString shown = b->fontMetrics().elidedText(k.text, Qt::ElideRight, qMax(0, half - padding));
        b->setText(shown.replace(QLatin1Char('&'), QLatin1String("&&")));
        b->setMaximumWidth(half);
    }
}

void ZSoftKey::setOptMenu(KEY_IDX key, ZOptionsMenu *menu)
{
    keys[key].menu = menu;
}

ZOptionsMenu *ZSoftKey::optMenu(KEY_IDX key) const
{
    return keys[key].menu;
}

QPushButton *ZSoftKey::button(KEY_IDX key) const
{
    return keys[key].button;
}

void ZSoftKey::setClickedAction(KEY_IDX key, QObject *context, std::function<void()> action)
{
    keys[key].context = context;
    keys[key].action = std::move(action);
}

void ZSoftKey::click(KEY_IDX key)
{
    Key &k = keys[key];
    if (k.menu) {
        QPushButton *b = k.button;
        const QSize size = k.menu->sizeHint();
        QPoint at = b->mapToGlobal(QPoint(0, 0));
        at.ry() -= size.height();
        if (key == RIGHT)
            at.rx() += b->width() - size.width();
        k.menu->popup(at);
        return;
    }
    if (k.action)
        k.action();
}

bool ZSoftKey::handleKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_F3:
    case Qt::Key_Menu:
        click(LEFT);
        return true;
    case Qt::Key_F4:
        click(RIGHT);
        return true;
    default:
        return false;
    }
}
