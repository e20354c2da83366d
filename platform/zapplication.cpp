#include "zapplication.h"

#include <QKeyEvent>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

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

// Set before the application object exists.
int &prepareApplication(int &argc)
{
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
