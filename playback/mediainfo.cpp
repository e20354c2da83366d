#include "mediainfo.h"

#include "platform/fd.h"
#include "platform/fsname.h"
#include "childprocess.h"
#include "processgroup.h"
#include "shellquote.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Together with the play start that follows, this keeps the window answering
// keys within 2 s of choosing a file, whatever the file is. MPlayer itself
// needs about 0.3 s of CPU time for a probe.
int timeoutMs = 1800;

long long nowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
}

// A probe still runnable that has had little of the CPU is kept waiting for
// the processor, not for its file: a busy machine, not a FIFO or a hung
// mount. It is given up to this many times the usual time.
constexpr int StarvedProbeFactor = 4;

bool starvedProbe(pid_t pid)
{
    ProcessStat stat;
    if (!readProcessStat(pid, &stat))
        return false;
    const long ticks = sysconf(_SC_CLK_TCK);
    const long long cpuMs = ticks > 0 ? (long long)stat.cpuTicks * 1000 / ticks : 0;
    return stat.state == 'R' && cpuMs < timeoutMs / 2;
}

} // namespace

int MediaInfo::probeTimeoutMs()
{
    return timeoutMs;
}

void MediaInfo::setProbeTimeoutMs(int ms)
{
    timeoutMs = ms;
}

MediaInfo MediaInfo::unprobed()
{
    MediaInfo info;
    info.setDefaults();
    return info;
}

void MediaInfo::setDefaults()
{
    width = 0;
    height = 0;
    length = QStringLiteral("0.0");
    bitrate = 0;
    fps = QStringLiteral("0.0");
    demuxer = QStringLiteral("unknow");
}

QString MediaInfo::identifyCommand(const QString &mediaPath, const QString &playerPath)
{
    // The path goes between double quotes; inside them ", $, ` and \ would
    // still be read by the shell, so they are escaped. The player path is one
    // word too, as in the play command: a program folder with a blank or a $
    // in its name must neither break the probe nor run anything.
    return shellWord(playerPath) + QLatin1String(" -identify ") + QLatin1Char('"')
        + quoteForDoubleQuotes(mediaPath) + QLatin1Char('"')
        + QLatin1String(" -nosound -vc dummy -vo null");
}

MediaInfo::MediaInfo(QString mediaPath, QString playerPath)
{
    setDefaults();
    const QString command = identifyCommand(mediaPath, playerPath);
    const QByteArray shown = fsEncode(command);
    fwrite(shown.constData(), 1, size_t(shown.size()), stdout);
    // Like the play command, the probe names the file by its exact bytes.
    runProbe(fsEncode(command));
}

void MediaInfo::runProbe(const QByteArray &command)
{
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return;
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    Fd nothing(open("/dev/null", O_RDONLY | O_CLOEXEC));

    // exec: the player replaces the shell, and so goes when we do.
    const QByteArray line = "exec " + command;
    // The probe reads no keys: its input is empty, not the terminal.
    const pid_t pid = startShellChild(line.constData(), nothing.get(), writeEnd.get());
    if (pid < 0)
        return;
    writeEnd.reset();
    nothing.reset();

    // Output is cut into the pieces that fgets() with an 80-byte buffer
    // would give: up to and including a newline, at most 79 bytes, or what
    // is left at the end.
    const long long started = nowMs();
    long long deadline = started + timeoutMs;
    QByteArray pending;
    bool timedOut = false;
    char chunk[4096];
    const auto takePiece = [&](qsizetype length) {
        // fgets() would hand on the piece as a C string: it ends at a NUL.
        const QByteArray piece = pending.left(length);
        pending.remove(0, length);
        parseIdentifyLine(QString::fromLatin1(piece.constData(), qsizetype(strnlen(piece.constData(), size_t(piece.size())))));
    };
    const auto takeWholePieces = [&] {
        for (;;) {
            const qsizetype newline = pending.indexOf('\n');
            if (newline >= 0 && newline < 79)
                takePiece(newline + 1);
            else if (pending.size() >= 79)
                takePiece(79);
            else
                return;
        }
    };
    for (;;) {
        const long long now = nowMs();
        const long long left = deadline - now;
        if (left <= 0) {
            if (now - started < timeoutMs * StarvedProbeFactor && starvedProbe(pid)) {
                deadline = now + 100;
                continue;
            }
            timedOut = true;
            break;
        }
        pollfd p = {readEnd.get(), POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (ready == 0)
            continue;
        const ssize_t n = read(readEnd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        pending.append(chunk, n);
        takeWholePieces();
    }
    if (!timedOut && !pending.isEmpty())
        takePiece(pending.size());
    readEnd.reset();

    if (timedOut) {
        // A stalled probe (a FIFO, a hung mount) tells nothing reliable.
        kill(-pid, SIGKILL);
        setDefaults();
    }
    // Its output has ended, so it is ending too; a child that lingers is not
    // allowed to hold the window.
    endProcessGroup(pid, timedOut ? 0 : 300, 200);
}

void MediaInfo::parseIdentifyLine(QString line)
{
    char value[80];
    memset(value, 0, sizeof value);
    const QByteArray bytes = line.toLatin1();
    const char *text = bytes.constData();

    if (line.indexOf(QLatin1String("ID_DEMUXER"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_DEMUXER=%79s", value);
        demuxer = QString::fromLatin1(value);
    } else if (line.indexOf(QLatin1String("ID_VIDEO_BITRATE"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_VIDEO_BITRATE=%d", &bitrate);
    } else if (line.indexOf(QLatin1String("ID_VIDEO_WIDTH"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_VIDEO_WIDTH=%d", &width);
    } else if (line.indexOf(QLatin1String("ID_VIDEO_HEIGHT"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_VIDEO_HEIGHT=%d", &height);
    } else if (line.indexOf(QLatin1String("ID_LENGTH"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_LENGTH=%79s", value);
        length = QString::fromLatin1(value);
    } else if (line.indexOf(QLatin1String("ID_VIDEO_FPS"), 0, Qt::CaseSensitive) >= 0) {
        sscanf(text, "ID_VIDEO_FPS=%79s", value);
        fps = QString::fromLatin1(value);
    }
}
