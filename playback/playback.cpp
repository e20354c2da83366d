// Playing a file: the player's command line, the keys that drive it, pause on
// deactivation, and the stop that brings the list back.

#include "app/zfileselectdialog.h"
#include "playbacklimits.h"
#include "playersession.h"
#include "platform/fsname.h"
#include "platform/keycodes.h"
#include "platform/lm.h"
#include "platform/zkbmainwidget.h"
#include "platform/zlistbox.h"
#include "platform/znowplaying.h"
#include "settings/appdir.h"
#include "shellquote.h"

#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QStyleHints>

#include <cstdio>
#include <sys/stat.h>

namespace {

const char PlayerText[] =
    "mplayer -af channels=2,resample=44100:0:0 -autosync 0 -mc 0 -slave -quiet -idle -framedrop "
    "-font /usr/language/fonts/AMCSL.TTF ";
const char ScaleText[] = "-vf scale=320:240 ";

QString playerPath()
{
    return QStringLiteral("%1/mplayer").arg(appDir());
}

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

bool ZFileSelectDialog::isPlaying() const
{
    return session->state() != PlayerSession::State::Idle;
}

bool ZFileSelectDialog::isPaused() const
{
    return session->paused();
}

FILE *ZFileSelectDialog::playerPipe() const
{
    return session->stream();
}

// The list hidden and the screen given to the player (once for a run of
// files), the probe, and the player started once it has answered.
void ZFileSelectDialog::playFile(QString path)
{
    if (!isPlaying()) {
        listBox->hide();
        setFullScreenMode(true, false);
        if (hiSpeedMode)
            applyCpuSpeed(true);
    }
    if (soundScreen)
        soundScreen->hide();
    // Where the file is, with RESUME, to keep it.
    session->setWantPosition(positions != nullptr);
    if (session->begin(path, playerPath()))
        startPlayer();
}

void ZFileSelectDialog::startPlayer()
{
    const MediaInfo &info = session->info();
    const bool scale = needsScaling(info.getWidth(), info.getHeight());
    // exec: the player takes the shell's place, and so is killed with it
    // when this program ends.
    const QString path = session->path();
    const QString command = QLatin1String("exec ") + playCommandLine(appDir(), path, scale);
    session->open(fsEncode(command), path);
}

void ZFileSelectDialog::cursorMoved(int row)
{
    session->cursorOn(rowPath(row), playerPath());
}

void ZFileSelectDialog::sendCommand(const char *text)
{
    session->send(text);
}

void ZFileSelectDialog::keyPressEvent(QKeyEvent *e)
{
    const int key = e->key();
    printf("pressed 0x%x\n", key);
    if (!isPlaying()) {
        if (key == handset::Key_Return)
            enterInList.start();
        return;
    }
    // Until the player has started, keys were meant for the list, not for
    // the player; F2 stops at once.
    if (session->state() == PlayerSession::State::Starting) {
        if (key == handset::Key_F2)
            stopPlayback();
        return;
    }

    const char *command = nullptr;
    switch (key) {
    case handset::Key_Right: command = "seek +30\n"; break;
    case handset::Key_Left: command = "seek -30\n"; break;
    case handset::Key_3: command = "seek +300\n"; break;
    case handset::Key_1: command = "seek -300\n"; break;
    case handset::Key_PageUp: command = "volume 1\n"; break;
    case handset::Key_PageDown: command = "volume 0\n"; break;
    case handset::Key_F1: command = "osd\n"; break;
    case handset::Key_Return:
        // A held Enter repeats, a handset's button bounces, a user chooses
        // with a double press: none of that pauses the clip the Enter in the
        // list started. An Enter after that does.
        if (e->isAutoRepeat()
            || (enterInList.isValid()
                && enterInList.elapsed() < QGuiApplication::styleHints()->keyboardInputInterval()))
            return;
        sendCommand("pause\n");
        session->setState(isPaused() ? PlayerSession::State::Playing : PlayerSession::State::Paused);
        return;
    case handset::Key_F2:
        stopPlayback();
        return;
    default:
        return;
    }
    sendCommand(command);
    session->setState(PlayerSession::State::Playing);
}

void ZFileSelectDialog::stopPlayback()
{
    session->closePlayer();
    if (soundScreen)
        soundScreen->hide();
    listBox->show();
    relistIfChanged();
    setFullScreenMode(false, false);
    LM_setDisplayTimer(0, displayTimeout);
    if (hiSpeedMode)
        applyCpuSpeed(false);
    session->setState(PlayerSession::State::Idle);
    listBox->setFocus();
}

// The player is still there, idle: it could not open the file. The list
// comes back as after F2, whatever the settings say.
void ZFileSelectDialog::fileFailed()
{
    if (isPlaying())
        stopPlayback();
}

// A file that is gone (deleted, its card taken out) is not stayed on.
void ZFileSelectDialog::fileEnded()
{
    if (!isPlaying())
        return;
    PlaybackSettings::AtEnd atEnd = playback.atEnd;
    struct stat st;
    if (atEnd == PlaybackSettings::AtEnd::Stay && ::stat(fsEncode(session->path()).constData(), &st) != 0)
        atEnd = PlaybackSettings::AtEnd::List;
    if (atEnd == PlaybackSettings::AtEnd::Stay)
        return;
    // The next file after the one that played, if that one is the current row.
    const int row = currentRow();
    const int next = atEnd == PlaybackSettings::AtEnd::Next && rowPath(row) == session->path()
        ? nextFileRow(row) : -1;
    if (next < 0) {
        stopPlayback();
        return;
    }
    setCurrentRow(next);
    session->closePlayer();
    playFile(rowPath(next));
}

// The sound screen, for a file without video, when it is wanted.
void ZFileSelectDialog::showReport()
{
    const PlayerSession::Report &report = session->report();
    const bool show = playback.nowPlaying && isPlaying() && report.loaded && !report.hasVideo;
    session->setWantPosition(show || positions);
    if (!show) {
        if (soundScreen)
            soundScreen->hide();
        return;
    }
    if (!soundScreen) {
        soundScreen = new ZNowPlaying(videoSurface());
        soundScreen->setKeyHelp({playback.pauseHelp, playback.seekHelp, playback.stopHelp});
    }
    soundScreen->setTrack(QFileInfo(session->path()).fileName(), report.title, report.artist);
    soundScreen->setProgress(report.position, report.length);
    soundScreen->show();
    soundScreen->raise();
}

bool ZFileSelectDialog::event(QEvent *e)
{
    if (e->type() == QEvent::WindowActivate) {
        if (isPlaying() && isPaused()) {
            sendCommand("pause\n");
            session->setState(PlayerSession::State::Playing);
        }
    } else if (e->type() == QEvent::WindowDeactivate) {
        puts("WindowDeactivate");
        if (isPlaying() && !isPaused()) {
            sendCommand("pause\n");
            session->setState(PlayerSession::State::Paused);
        }
    }
    return ZKbMainWidget::event(e);
}
