#include "zapplication.h"

#include <QKeyEvent>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

int signalPipe[2] = {-1, -1};
bool choseX11 = false;

extern "C" void forwardSignal(int signo)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signo);
    if (signalPipe[1] >= 0)
        (void)!write(signalPipe[1], &byte, 1);
    errno = saved;
}

// Qt's messages while it opens the display are held back. When no display
// can be opened, Qt would print them and abort with advice to reinstall; the
// program ends instead with one line that says what to do. When the display
// opens, the messages go out as they came.
struct HeldMessage
{
    QtMsgType type;
    QByteArray file, function, category;
    int line;
    QString text;
};
std::vector<HeldMessage> heldMessages;
std::mutex heldLock; // Qt's own threads may speak while it opens the display
QtMessageHandler passMessage = nullptr;

void releaseHeldMessages()
{
    qInstallMessageHandler(passMessage);
    const std::lock_guard<std::mutex> hold(heldLock);
    for (const HeldMessage &m : heldMessages) {
        const QMessageLogContext context(m.file.constData(), m.line, m.function.constData(),
                                         m.category.constData());
        passMessage(m.type, context, m.text);
    }
    heldMessages.clear();
}

// The displays Qt was asked to try, as the user knows them.
QString displaysTried()
{
    const auto env = [](const char *name, const char *otherwise) {
        const QByteArray value = qgetenv(name);
        return QString::fromLocal8Bit(value.isEmpty() ? QByteArray(otherwise) : value);
    };
    QList<QByteArray> platforms = qgetenv("QT_QPA_PLATFORM").split(';');
    if (platforms == QList<QByteArray>{QByteArray()}) // Qt's own choice
        platforms = qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? QList<QByteArray>{"xcb"}
                                                                  : QList<QByteArray>{"xcb", "wayland"};
    QStringList tried;
    for (const QByteArray &platform : std::as_const(platforms)) {
        const QList<QByteArray> options = platform.split(':');
        const QByteArray &kind = options.first();
        QString framebuffer = QStringLiteral("/dev/fb0");
        for (const QByteArray &option : options) {
            if (option.startsWith("fb="))
                framebuffer = QString::fromLocal8Bit(option.mid(3));
        }
        if (kind == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY"))
            tried << QStringLiteral("an X display (DISPLAY is not set)");
        else if (kind == "xcb")
            tried << QStringLiteral("the X display \"%1\"").arg(env("DISPLAY", ""));
        else if (kind.startsWith("wayland"))
            tried << QStringLiteral("the Wayland display \"%1\"").arg(env("WAYLAND_DISPLAY", "wayland-0"));
        else if (kind == "linuxfb")
            tried << QStringLiteral("the framebuffer \"%1\"").arg(framebuffer);
        else
            tried << QStringLiteral("the display of the %1 platform").arg(QString::fromLocal8Bit(platform));
    }
    return tried.join(QLatin1String(" nor "));
}

[[noreturn]] void noDisplay()
{
    fflush(stdout);
    fprintf(stderr,
            "morvane: cannot open %s. On a console, run it with QT_QPA_PLATFORM=linuxfb; over VNC, "
            "with QT_QPA_PLATFORM=vnc and a VNC viewer on port 5900 (no password: on a trusted "
            "network only).\n",
            displaysTried().toLocal8Bit().constData());
    fflush(stderr);
    _exit(1);
}

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtFatalMsg && text.contains(QLatin1String("no Qt platform plugin could be initialized"))) {
        // What Qt said matters only when it was not simply "no display
        // there" (a plugin's library missing, say).
        bool noneThere = false;
        {
            const std::lock_guard<std::mutex> hold(heldLock);
            for (const HeldMessage &m : heldMessages) {
                noneThere = noneThere || m.text.contains(QLatin1String("could not connect to display"))
                    || m.text.contains(QLatin1String("Failed to create wl_display"));
            }
        }
        if (!noneThere)
            releaseHeldMessages();
        noDisplay();
    }
    if (type == QtFatalMsg) {
        releaseHeldMessages();
        passMessage(type, context, text);
        return;
    }
    const std::lock_guard<std::mutex> hold(heldLock);
    heldMessages.push_back({type, context.file, context.function, context.category, context.line, text});
}

// Set before the application object exists.
int &prepareApplication(int &argc)
{
    passMessage = qInstallMessageHandler(holdMessage);
    // The video surface is the only native child window; its siblings stay
    // plain widgets, so that hiding and showing the list behaves the same
    // on every platform.
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    // The player draws into the window through its X11 window id, and on
    // X11 the window keeps the keyboard while it does. In a Wayland session
    // with Xwayland, Qt would otherwise choose Wayland: no window id for the
    // player, which then opens a window of its own and takes the focus. A
    // platform the user chose is left alone; without a working X display
    // Qt falls back to Wayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ? "xcb" : "xcb;wayland");
        choseX11 = true;
    }
    return argc;
}

} // namespace

ZApplication::ZApplication(int &argc, char **argv, int type)
    : QApplication(prepareApplication(argc), argv)
{
    Q_UNUSED(type);
    releaseHeldMessages();
    // A framebuffer that is not there leaves Qt with no screen at all.
    if (screens().isEmpty())
        noDisplay();
    setApplicationName(QStringLiteral("Morvane"));
    // The choice was for this program; the player and other children get
    // the environment as the user set it.
    if (choseX11) {
        qunsetenv("QT_QPA_PLATFORM");
        choseX11 = false;
    }

    if (signalPipe[0] < 0 && pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        signalPipe[0] = signalPipe[1] = -1;
    if (signalPipe[0] >= 0) {
        signalNotifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
        connect(signalNotifier, &QSocketNotifier::activated, this, &ZApplication::onSignal);
        struct sigaction action = {};
        action.sa_handler = forwardSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signo : {SIGINT, SIGTERM, SIGHUP})
            sigaction(signo, &action, nullptr);
    }

    // On a console Qt's framebuffer platform takes the keyboard away from
    // the terminal, whose Ctrl-C then sends no SIGINT: take it here.
    if (platformName() == QLatin1String("linuxfb"))
        installEventFilter(this);
}

bool ZApplication::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_C && (key->modifiers() & Qt::ControlModifier)) {
            quit();
            return true;
        }
    }
    return QApplication::eventFilter(watched, event);
}

ZApplication::~ZApplication()
{
    for (int signo : {SIGINT, SIGTERM, SIGHUP})
        signal(signo, SIG_DFL);
}

void ZApplication::onSignal()
{
    unsigned char bytes[16];
    while (read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    quit();
}
