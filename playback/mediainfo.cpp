#include "mediainfo.h"

#include "identifyrun.h"
#include "platform/fsname.h"
#include "shellquote.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <poll.h>

namespace {

// Together with the play start that follows, this keeps the window answering
// keys within 2 s of choosing a file, whatever the file is. MPlayer itself
// needs about 0.3 s of CPU time for a probe.
int timeoutMs = 1800;

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
    // Like the play command, the probe names the file by its exact bytes.
    IdentifyRun run(this);
    if (!run.start(fsEncode(identifyCommand(mediaPath, playerPath))))
        return;
    for (;;) {
        const long long left = run.msLeft();
        if (left <= 0) {
            run.abandon();
            return;
        }
        pollfd p = {run.output(), POLLIN, 0};
        const int ready = poll(&p, 1, int(left));
        if (ready < 0 && errno != EINTR)
            break;
        if (ready > 0 && !run.read())
            break;
    }
    run.finish();
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
