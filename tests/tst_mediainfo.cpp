#include "playback/mediainfo.h"
#include "testsupport.h"

struct Info
{
    int width = 0, height = 0;
    QString length = "0.0";
    int bitrate = 0;
    QString fps = "0.0", demuxer = "unknow";
    QString text() const
    {
        return QString("width %1, height %2, length '%3', bitrate %4, fps '%5', demuxer '%6'")
            .arg(width).arg(height).arg(length).arg(bitrate).arg(fps, demuxer);
    }
};

static QString found(const MediaInfo &i)
{
    return Info{i.getWidth(), i.getHeight(), i.getLength(), i.getBitrate(), i.getFps(),
                i.getDemuxer()}.text();
}

class MediaInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(tmp.path())); } // where "pwned" would be made

    void commandLine()
    {
        const struct { QString media, player, expected; } rows[] = {
            {"a\"$`\\.avi", "p", "p -identify \"a\\\"\\$\\`\\\\.avi\""},
            {"a", "/my app's $(x)/mplayer", "'/my app'\\''s $(x)/mplayer' -identify \"a\""},
            {"a", "/aAzZ09-_.+,:@%/\u0080Фи/m", "/aAzZ09-_.+,:@%/\u0080Фи/m -identify \"a\""}};
        for (const auto &r : rows) {
            QCOMPARE(MediaInfo::identifyCommand(r.media, r.player),
                     r.expected + " -nosound -vc dummy -vo null");
        }
    }

    // Read in pieces of 79 bytes (the padding pushes a key across); a stall is cut off.
    void fakePlayers()
    {
        const struct { QByteArray script; Info expected; } rows[] = {
            {"echo ID_DEMUXER=avi; echo ID_LENGTH=93.50; echo ID_VIDEO_FPS=23.976\n"
             "echo ID_VIDEO_BITRATE=492672; echo ID_VIDEO_WIDTH=640; printf ID_VIDEO_HEIGHT=480",
             Info{640, 480, "93.50", 492672, "23.976", "avi"}},
            {"echo ID_DEMUXER=lavf matroska", Info{.demuxer = "lavf"}},
            {"printf '%070d ID_VIDEO_WIDTH=640\\n' 0\n"
             "printf 'ID_VIDEO_HEIGHT=480\\nID_LENGTH=12.5'",
             Info{.height = 480, .length = "12.5"}}};
        const QString player = tmp.filePath("mplayer");
        MediaInfo::setProbeTimeoutMs(30000); // slow on an emulated arm64
        for (const auto &r : rows) {
            writeScript(player, "#!/bin/sh\n" + r.script);
            QCOMPARE(found(MediaInfo("a.avi", player)), r.expected.text());
        }
        writeScript(player, "#!/bin/sh\necho ID_VIDEO_WIDTH=640; exec sleep 60");
        MediaInfo::setProbeTimeoutMs(1000);
        QElapsedTimer t;
        t.start();
        QCOMPARE(found(MediaInfo("a.avi", player)), Info{}.text());
        QCOMPARE_LT(t.elapsed(), 4000);
    }

    void realPlayer()
    {
        const QString folder = tmp.filePath("my app's $(touch pwned);x");
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(MORVANE_APPDIR "/mplayer", folder + "/mplayer"));
        const QString clip = "$(touch pwned) `touch pwned` it's \"x\" Фильм.avi";
        const QStringList ffmpeg{"-v", "error", "-f", "lavfi", "-i", "testsrc=rate=5:size=320x240",
                                 "-t", "0.4", clip};
        QCOMPARE(QProcess::execute("ffmpeg", ffmpeg), 0);
        QVERIFY(QFile("notes.txt").open(QIODevice::WriteOnly));
        QCOMPARE(mkfifo("stream.avi", 0600), 0);
        const QString player = folder + "/mplayer";
        MediaInfo::setProbeTimeoutMs(30000); // a real probe on a busy machine may take long
        const MediaInfo probed(clip, player);
        QCOMPARE(QSize(probed.getWidth(), probed.getHeight()), QSize(320, 240));
        QCOMPARE(probed.getDemuxer(), "avi");
        for (const char *name : {"notes.txt", "missing.avi"})
            QCOMPARE(found(MediaInfo(name, player)), Info{}.text());
        MediaInfo::setProbeTimeoutMs(800); // a FIFO must not hold the probe up
        QCOMPARE(found(MediaInfo("stream.avi", player)), Info{}.text());
        QVERIFY(!QFile::exists("pwned"));
    }
};

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
