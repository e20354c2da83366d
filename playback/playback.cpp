// Playing a file: the player's command line, the keys that drive it, pause on
// deactivation, and the stop that brings the list back.

#include "app/zfileselectdialog.h"
#include "mediainfo.h"
#include "playerpipe.h"
#include "playbacklimits.h"
#include "platform/fsname.h"
#include "platform/lm.h"
#include "platform/zlistbox.h"
#include "settings/appdir.h"
#include "shellquote.h"

#include <QEvent>
#include <QKeyEvent>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>

namespace {

const char PlayerText[] =
    "mplayer -af channels=2,resample=44100:0:0 -autosync 0 -mc 0 -slave -quiet -idle -framedrop "
    "-font /usr/language/fonts/AMCSL.TTF ";
const char ScaleText[] = "-vf scale=320:240 ";

// Commands a player has not taken yet wait here up to this many bytes; more
// are dropped. A player that reads nothing cannot make the window block or
// grow.
constexpr qsizetype PendingCommandLimit = 4096;

} // namespace

int frameBufferSize(int width, int height)
{
    const qint32 w8 = (qint32(width) + 7) & ~qint32(7);
    const qint32 h8 = (qint32(height) + 7) & ~qint32(7);
    // 32-bit arithmetic as on the handset; the product is formed unsigned so
    // that an absurd probe result wraps instead of being undefined.
    qint32 size = qint32(quint32(w8) * quint32(h8) * 3u) >> 1;
    size = qint32(quint32(size) + 63u) & ~qint32(63);
    return size;
}

bool needsScaling(int width, int height)
{
    return frameBufferSize(width, height) > ScaleThreshold;
}

QString playCommandLine(const QString &dir, const QString &path, bool scale)
{
    QString text = QLatin1String(PlayerText);
    if (scale)
        text += QLatin1String(ScaleText);
    return shellWord(dir) + text + QLatin1String(" '") + quoteForSingleQuotes(path)
        + QLatin1Char('\'');
}

void ZFileSelectDialog::playFile(QString path)
{
    const QString playerPath = QStringLiteral("%1/mplayer").arg(appDir());
    bool scale = false;
    // Only a regular file (after links) is probed: a FIFO or a device would
    // hold the probe until its time runs out, and tells no size anyway.
    struct stat st;
    if (::stat(fsEncode(path).constData(), &st) == 0 && S_ISREG(st.st_mode)) {
        MediaInfo info(path, playerPath);
        scale = needsScaling(info.getWidth(), info.getHeight());
    }

    listBox->hide();
    setFullScreenMode(true, false);
    if (hiSpeedMode)
        applyCpuSpeed(true);

    // exec: the player takes the shell's place, and so is killed with it
    // when this program ends.
    const QString command = QLatin1String("exec ") + playCommandLine(appDir(), path, scale);
    playerPipe = openPlayerPipe(fsEncode(command).constData());
    isPlaying = true;
    isPaused = false;
    watchPlayerOutput();
}

// The command is written past the stream's buffer, without waiting: what
// the player cannot take at once waits in pendingCommands, within a bound.
void ZFileSelectDialog::sendCommand(const char *text)
{
    if (!playerPipe)
        return;
    const qsizetype length = qsizetype(strlen(text));
    if (pendingCommands.size() + length > PendingCommandLimit)
        return;
    pendingCommands.append(text, length);
    writePendingCommands();
}

void ZFileSelectDialog::writePendingCommands()
{
    while (playerPipe && !pendingCommands.isEmpty()) {
        const ssize_t n = send(fileno(playerPipe), pendingCommands.constData(), size_t(pendingCommands.size()),
                               MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            pendingCommands.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (playerInput)
                playerInput->setEnabled(true);
            return;
        }
        pendingCommands.clear(); // the player has gone; nobody will read them
    }
    if (playerInput)
        playerInput->setEnabled(false);
}

// The player's output shares the stream and is never needed; it is read and
// dropped as it comes, or a chatty player would fill the socket and stall.
// Its end tells that the player has ended.
void ZFileSelectDialog::watchPlayerOutput()
{
    unwatchPlayer();
    if (!playerPipe)
        return;
    playerOutput = new QSocketNotifier(fileno(playerPipe), QSocketNotifier::Read, this);
    connect(playerOutput, &QSocketNotifier::activated, this, &ZFileSelectDialog::drainPlayerOutput);
    playerInput = new QSocketNotifier(fileno(playerPipe), QSocketNotifier::Write, this);
    playerInput->setEnabled(false);
    connect(playerInput, &QSocketNotifier::activated, this, &ZFileSelectDialog::writePendingCommands);
}

// The notifiers may be the very ones whose signal is being handled.
void ZFileSelectDialog::unwatchPlayer()
{
    for (QSocketNotifier **n : {&playerOutput, &playerInput}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    pendingCommands.clear();
}

void ZFileSelectDialog::drainPlayerOutput()
{
    if (!playerPipe || !playerOutput)
        return;
    char discard[16384];
    for (;;) {
        const ssize_t n = recv(fileno(playerPipe), discard, sizeof discard, MSG_DONTWAIT);
        if (n > 0)
            continue;
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        // The player has closed its end: it ended by itself (or could not
        // start). Bring the list back as the stop key would.
        playerOutput->setEnabled(false);
        if (isPlaying)
            stopPlayback();
        return;
    }
}

void ZFileSelectDialog::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    printf("pressed 0x%x\n", key);
    if (!isPlaying)
        return;

    const char *command = nullptr;
    switch (key) {
    case 0x1014: command = "seek +30\n"; break;
    case 0x1012: command = "seek -30\n"; break;
    case 0x33: command = "seek +300\n"; break;
    case 0x31: command = "seek -300\n"; break;
    case 0x1016: command = "volume 1\n"; break;
    case 0x1017: command = "volume 0\n"; break;
    case 0x1030: command = "osd\n"; break;
    case 0x1004:
        sendCommand("pause\n");
        isPaused = !isPaused;
        return;
    case 0x1031:
        stopPlayback();
        return;
    default:
        return;
    }
    sendCommand(command);
    isPaused = false;
}

void ZFileSelectDialog::stopPlayback()
{
    if (playerPipe)
        sendCommand("quit\n");
    unwatchPlayer();
    closePlayerPipe(playerPipe);
    playerPipe = nullptr;
    listBox->show();
    relistIfChanged();
    setFullScreenMode(false, false);
    LM_setDisplayTimer(0, displayTimeout);
    if (hiSpeedMode)
        applyCpuSpeed(false);
    isPaused = false;
    isPlaying = false;
    listBox->setFocus();
}

bool ZFileSelectDialog::event(QEvent *e)
{
    if (e->type() == QEvent::Type(24)) {
        if (isPlaying && isPaused) {
            sendCommand("pause\n");
            isPaused = false;
        }
    } else if (e->type() == QEvent::Type(25)) {
        puts("WindowDeactivate");
        if (isPlaying && !isPaused) {
            sendCommand("pause\n");
            isPaused = true;
        }
    }
    return ZKbMainWidget::event(e);
}
