#pragma once

#include <QString>

// What MPlayer's identify mode tells about a media file. Constructing one
// runs the probe: the player is run on the file, its output read to the end
// and parsed, and the child reaped before the constructor returns. A probe
// that cannot run, or that takes longer than probeTimeoutMs(), leaves the
// defaults; only a probe that is waiting for a busy processor gets longer.
class MediaInfo
{
public:
    MediaInfo(QString mediaPath, QString playerPath);

    // Applies one piece of identify output (at most 79 bytes) to the record.
    void parseIdentifyLine(QString line);

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    QString getLength() const { return length; }
    int getBitrate() const { return bitrate; }
    QString getFps() const { return fps; }
    QString getDemuxer() const { return demuxer; }

    // The shell command that probes mediaPath with playerPath.
    static QString identifyCommand(const QString &mediaPath, const QString &playerPath);

    static int probeTimeoutMs();
    static void setProbeTimeoutMs(int ms);

    // A record with the defaults and no probe run, for feeding output by hand.
    static MediaInfo unprobed();

private:
    MediaInfo() = default;
    void setDefaults();

    int width = 0;
    int height = 0;
    QString length;
    int bitrate = 0;
    QString fps;
    QString demuxer;
};
