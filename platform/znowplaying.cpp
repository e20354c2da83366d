#include "znowplaying.h"

#include <QEvent>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

const char FullText[] = "fullText";

QLabel *addLabel(QWidget *parent, QVBoxLayout *layout, const QColor &colour)
{
    auto *label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // The full text never widens the screen; it is cut to fit instead.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
    layout->addWidget(label);
    return label;
}

void setFullText(QLabel *label, const QString &text)
{
    label->setProperty(FullText, text);
    label->setVisible(!text.isEmpty());
}

QString fullText(const QLabel *label)
{
    return label->property(FullText).toString();
}

// Each line of the label's full text, cut with "…" to the label's width.
void fit(QLabel *label, int width)
{
    const QFontMetrics metrics(label->font());
    QStringList lines = fullText(label).split(QLatin1Char('\n'));
    for (QString &line : lines)
        line = metrics.elidedText(line, Qt::ElideRight, width);
    label->setText(lines.join(QLatin1Char('\n')));
}

void setPixelSize(QWidget *w, int pixels, bool bold)
{
    QFont f = w->font();
    f.setPixelSize(std::max(pixels, 9));
    f.setBold(bold);
    w->setFont(f);
}

} // namespace

ZNowPlaying::ZNowPlaying(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
    setFocusPolicy(Qt::NoFocus);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(2);
    title = addLabel(this, layout, Qt::white);
    artist = addLabel(this, layout, Qt::white);
    name = addLabel(this, layout, QColor(170, 170, 170));
    layout->addStretch(1);
    bar = new QProgressBar(this);
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    layout->addWidget(bar);
    time = addLabel(this, layout, Qt::white);
    layout->addStretch(2);
    help = addLabel(this, layout, QColor(170, 170, 170));
    setFullText(time, clock(0));

    if (parent) {
        parent->installEventFilter(this);
        setGeometry(parent->rect());
    }
    layOut();
}

void ZNowPlaying::setTrack(const QString &fileName, const QString &titleText, const QString &artistText)
{
    setFullText(title, titleText);
    setFullText(artist, artistText);
    setFullText(name, fileName);
    layOut();
}

void ZNowPlaying::setProgress(double position, double length)
{
    const bool known = length > 0;
    setFullText(time, known ? clock(position) + QStringLiteral(" / ") + clock(length) : clock(position));
    bar->setValue(known ? int(std::lround(std::clamp(position / length, 0.0, 1.0) * 1000)) : 0);
    fit(time, time->width());
}

void ZNowPlaying::setKeyHelp(const QStringList &lines)
{
    QStringList shown = lines;
    shown.removeAll(QString());
    helpLines = shown;
    setFullText(help, shown.join(QLatin1Char('\n')));
    layOut();
}

QString ZNowPlaying::timeText() const
{
    return fullText(time);
}

QStringList ZNowPlaying::texts() const
{
    QStringList out;
    for (const QLabel *label : {title, artist, name, time})
        out << fullText(label);
    return out << helpLines;
}

QString ZNowPlaying::clock(double seconds)
{
    const long long whole = std::isfinite(seconds) && seconds > 0 ? (long long)seconds : 0;
    const auto twoDigits = [](long long n) { return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')); };
    if (whole < 3600)
        return QStringLiteral("%1:%2").arg(whole / 60).arg(twoDigits(whole % 60));
    return QStringLiteral("%1:%2:%3")
        .arg(whole / 3600)
        .arg(twoDigits(whole / 60 % 60), twoDigits(whole % 60));
}

bool ZNowPlaying::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == parent() && e->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, e);
}

void ZNowPlaying::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    layOut();
}

// Type in proportion to the screen: 20 pixels for titles on a 240x320
// handset, 30 on a 640x480 one.
void ZNowPlaying::layOut()
{
    const int base = std::max(12, std::min(height() / 16, width() / 12));
    const int margin = base / 2;
    layout()->setContentsMargins(margin, margin, margin, margin);
    layout()->setSpacing(base / 4);
    setPixelSize(title, base, true);
    setPixelSize(artist, base * 3 / 4, false);
    setPixelSize(name, base * 3 / 4, false);
    setPixelSize(time, base * 3 / 4, false);
    setPixelSize(help, base * 2 / 3, false);
    bar->setFixedHeight(std::max(4, base / 3));
    const int width = this->width() - 2 * margin;
    for (QLabel *label : {title, artist, name, time, help})
        fit(label, width);
}
