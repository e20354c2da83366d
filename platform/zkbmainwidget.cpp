#include "zkbmainwidget.h"

#include "keycodes.h"
#include "zglobal.h"
#include "zsoftkey.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The framebuffer device Qt's linuxfb platform draws on: its "fb=" argument,
// as in QT_QPA_PLATFORM=linuxfb:fb=/dev/fb1, or Qt's default /dev/fb0.
QByteArray framebufferDevice()
{
    const QList<QByteArray> parts = qgetenv("QT_QPA_PLATFORM").split(':');
    if (parts.value(0) == "linuxfb") {
        for (const QByteArray &part : parts) {
            if (part.startsWith("fb=") && part.size() > 3)
                return part.mid(3);
        }
    }
    return QByteArrayLiteral("/dev/fb0");
}

bool onFramebuffer()
{
    return QGuiApplication::platformName() == QLatin1String("linuxfb");
}

} // namespace

ZKbMainWidget::ZKbMainWidget(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    setFocusPolicy(Qt::StrongFocus);

    outerLayout = new QVBoxLayout(this);
    outerLayout->setContentsMargins(0, 0, 0, 0);
    outerLayout->setSpacing(0);

    titleBar = new QLabel(this);
    titleBar->setTextFormat(Qt::PlainText);
    titleBar->setFixedHeight(ZGlobal::TitleHeight);
    titleBar->setContentsMargins(6, 0, 6, 0);
    titleBar->setAutoFillBackground(true);
    titleBar->setBackgroundRole(QPalette::Highlight);
    titleBar->setForegroundRole(QPalette::HighlightedText);
    outerLayout->addWidget(titleBar);

    contentArea = new QWidget(this);
    contentLayout = new QVBoxLayout(contentArea);
    contentLayout->setContentsMargins(0, 0, 0, 0);
    contentLayout->setSpacing(0);
    outerLayout->addWidget(contentArea, 1);

    surface = new QWidget(this);
    surface->setAutoFillBackground(true);
    QPalette black = surface->palette();
    black.setColor(QPalette::Window, Qt::black);
    surface->setPalette(black);
    surface->setFocusPolicy(Qt::NoFocus);
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        surface->setAttribute(Qt::WA_NativeWindow);
    surface->hide();

    resize(ZGlobal::ScreenWidth, ZGlobal::ScreenHeight);
}

ZKbMainWidget::~ZKbMainWidget()
{
    if (fullScreen) {
        qunsetenv(VideoWindowVariable);
        qunsetenv(VideoFramebufferVariable);
    }
}

void ZKbMainWidget::setMainWidgetTitle(const QString &title)
{
    titleBar->setText(title);
    setWindowTitle(title);
}

QString ZKbMainWidget::mainWidgetTitle() const
{
    return titleBar->text();
}

QVBoxLayout *ZKbMainWidget::getVBoxLayout() const
{
    return contentLayout;
}

QWidget *ZKbMainWidget::videoSurface() const
{
    return surface;
}

void ZKbMainWidget::attachSoftKey(ZSoftKey *keys)
{
    softKeys = keys;
    outerLayout->addWidget(keys);
}

void ZKbMainWidget::setFullScreenMode(bool on, bool keepStatus)
{
    Q_UNUSED(keepStatus);
    fullScreen = on;
    titleBar->setVisible(!on);
    if (softKeys)
        softKeys->setVisible(!on);
    if (on) {
        // On the framebuffer (where Qt shows a window over the whole
        // screen) the player draws on the screen itself.
        if (onFramebuffer())
            qputenv(VideoFramebufferVariable, framebufferDevice());
        surface->setGeometry(rect());
        surface->show();
        surface->raise();
        if (surface->testAttribute(Qt::WA_NativeWindow))
            qputenv(VideoWindowVariable, QByteArray::number(qulonglong(surface->winId())));
        // The list that had the focus is hidden now; the keys belong to the
        // window while the player has the screen.
        setFocus(Qt::OtherFocusReason);
    } else {
        qunsetenv(VideoWindowVariable);
        qunsetenv(VideoFramebufferVariable);
        surface->hide();
        // The player's last picture is on the screen, where Qt does not
        // know it: draw all of the window again.
        if (onFramebuffer())
            update();
    }
}

void ZKbMainWidget::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    surface->setGeometry(rect());
    // The player fits its picture to the new size once it has noticed it,
    // but may draw a frame at the old size first, and it does not clear
    // what such a frame leaves in the black bars. Paint the surface black
    // again once it has caught up; the next frame brings the picture back.
    if (fullScreen)
        QTimer::singleShot(250, surface, qOverload<>(&QWidget::update));
}

// X11 repeats a held key as a release and a press with one time stamp, and
// Qt does not always mark that press as a repeat: a press at the very
// instant its key was released is one.
void ZKbMainWidget::showKey(const QKeyEvent *key)
{
    const bool repeat = key->isAutoRepeat()
        || (key->timestamp() != 0 && key->key() == releasedKey && key->timestamp() == releasedAt);
    QKeyEvent translated(QEvent::KeyPress, handset::fromQtKey(key->key()), key->modifiers(),
                         key->text(), repeat, ushort(key->count()));
    keyPressEvent(&translated);
}

void ZKbMainWidget::noteRelease(const QKeyEvent *key)
{
    releasedKey = key->key();
    releasedAt = key->timestamp();
}

void ZKbMainWidget::watchKeysOf(QWidget *child)
{
    child->installEventFilter(this);
}

bool ZKbMainWidget::event(QEvent *e)
{
    if (e->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(e);
        const bool softKeysServe = !fullScreen && softKeys;
        showKey(key);
        if (softKeysServe)
            softKeys->handleKey(key->key());
        return true;
    }
    if (e->type() == QEvent::KeyRelease)
        noteRelease(static_cast<QKeyEvent *>(e));
    return QWidget::event(e);
}

bool ZKbMainWidget::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() == QEvent::KeyRelease && watched != this)
        noteRelease(static_cast<QKeyEvent *>(e));
    if (e->type() != QEvent::KeyPress || watched == this || !watched->isWidgetType())
        return QWidget::eventFilter(watched, e);
    // The child gets the key here rather than from Qt, so that a key it
    // leaves does not travel on to the window and show twice.
    auto *key = static_cast<QKeyEvent *>(e);
    const bool softKeysServe = !fullScreen && softKeys;
    showKey(key);
    key->accept();
    watched->event(e);
    if (!key->isAccepted() && softKeysServe)
        softKeys->handleKey(key->key());
    key->accept();
    return true;
}
