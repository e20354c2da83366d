// The media probe: parsing identify output, and probing real clips with
// Debian's MPlayer through the adapter in the program directory.

#include "playback/mediainfo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

MediaInfo parsed(const QStringList &pieces)
{
    MediaInfo info = MediaInfo::unprobed();
    for (const QString &p : pieces)
        info.parseIdentifyLine(p);
    return info;
}

void writeScript(const QString &path, const QByteArray &body)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

const QString adapter = QStringLiteral(MORVANE_APPDIR "/mplayer");

} // namespace

class MediaInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

    QString makeClip(const QString &name, int width, int height)
    {
        const QString path = tmp.filePath(name);
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                QString("testsrc=size=%1x%2:rate=5,format=rgb24").arg(width).arg(height),
                                "-t", "0.4", "-c:v", "rawvideo", "-pix_fmt", "bgr24", path});
        if (!ffmpeg.waitForFinished(60000) || ffmpeg.exitCode() != 0)
            qWarning() << ffmpeg.readAllStandardError();
        return path;
    }

private slots:
    void defaults()
    {
        const MediaInfo info = MediaInfo::unprobed();
        QCOMPARE(info.getWidth(), 0);
        QCOMPARE(info.getHeight(), 0);
        QCOMPARE(info.getLength(), QString("0.0"));
        QCOMPARE(info.getBitrate(), 0);
        QCOMPARE(info.getFps(), QString("0.0"));
        QCOMPARE(info.getDemuxer(), QString("unknow"));
    }

    void parser()
    {
        MediaInfo a = parsed({"ID_VIDEO_WIDTH=640\n", "ID_VIDEO_HEIGHT=480\n"});
        QCOMPARE(a.getWidth(), 640);
        QCOMPARE(a.getHeight(), 480);
        QCOMPARE(a.getDemuxer(), QString("unknow"));
        QCOMPARE(a.getLength(), QString("0.0"));

        MediaInfo b = parsed({"ID_DEMUXER=avi\n", "ID_LENGTH=93.50\n", "ID_VIDEO_FPS=23.976\n",
                              "ID_VIDEO_BITRATE=492672\n"});
        QCOMPARE(b.getDemuxer(), QString("avi"));
        QCOMPARE(b.getLength(), QString("93.50"));
        QCOMPARE(b.getFps(), QString("23.976"));
        QCOMPARE(b.getBitrate(), 492672);

        // Only the first word of a value; keys in their exact case only.
        QCOMPARE(parsed({"ID_DEMUXER=lavf matroska\n"}).getDemuxer(), QString("lavf"));
        QCOMPARE(parsed({"id_video_width=640\n"}).getWidth(), 0);

        // A key found inside a line that does not begin with it.
        QCOMPARE(parsed({"ID_FILENAME=/films/ID_LENGTH.avi\n"}).getLength(), QString(""));
        QCOMPARE(parsed({"ID_VIDEO_WIDTH=320\n", "X ID_VIDEO_WIDTH=640\n"}).getWidth(), 320);

        // The first key of the table decides, wherever it stands.
        MediaInfo c = parsed({"ID_VIDEO_WIDTH=640 ID_DEMUXER=mkv\n"});
        QCOMPARE(c.getWidth(), 0);
        QCOMPARE(c.getDemuxer(), QString(""));

        // The last value wins; a value that is no number is not taken.
        QCOMPARE(parsed({"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=1280\n"}).getWidth(), 1280);
        QCOMPARE(parsed({"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=abc\n"}).getWidth(), 320);
        QCOMPARE(parsed({"ID_VIDEO_HEIGHT= -12\n"}).getHeight(), -12);
    }

    void outputArrivesInPiecesOf79Bytes()
    {
        const QString player = tmp.filePath("fake-player");
        // 70 bytes of padding push the key across the 79-byte boundary of the
        // first line; the second line has it whole.
        writeScript(player, "printf '%070d ID_VIDEO_WIDTH=640\\n' 0\n"
                            "printf 'ID_VIDEO_HEIGHT=480\\nID_LENGTH=12.5'\n");
        MediaInfo info("clip.avi", player);
        QCOMPARE(info.getWidth(), 0);
        QCOMPARE(info.getHeight(), 480);
        QCOMPARE(info.getLength(), QString("12.5"));
    }

    void noPlayerGivesDefaults()
    {
        MediaInfo info(tmp.filePath("clip.avi"), tmp.filePath("no-such-player"));
        QCOMPARE(info.getWidth(), 0);
        QCOMPARE(info.getDemuxer(), QString("unknow"));
    }

    void commandLine()
    {
        QCOMPARE(MediaInfo::identifyCommand("/mnt/card/a b.avi", "/opt/m//mplayer"),
                 QString("/opt/m//mplayer -identify \"/mnt/card/a b.avi\" -nosound -vc dummy -vo null"));
        QCOMPARE(MediaInfo::identifyCommand("a\"$`\\.avi", "p"),
                 QString("p -identify \"a\\\"\\$\\`\\\\.avi\" -nosound -vc dummy -vo null"));
        // Found by fuzz_shellquote: the program folder is one shell word.
        QCOMPARE(MediaInfo::identifyCommand("a.avi", "/my apps/$(x)//mplayer"),
                 QString("'/my apps/$(x)//mplayer' -identify \"a.avi\" -nosound -vc dummy -vo null"));
    }

    void stalledProbeIsBounded()
    {
        const QString player = tmp.filePath("stalling-player");
        writeScript(player, "echo ID_VIDEO_WIDTH=640; exec sleep 60\n");
        MediaInfo::setProbeTimeoutMs(500);
        QElapsedTimer t;
        t.start();
        MediaInfo info("x.avi", player);
        MediaInfo::setProbeTimeoutMs(10000);
        QVERIFY2(t.elapsed() < 3000, QByteArray::number(t.elapsed()).constData());
        QCOMPARE(info.getWidth(), 0); // what a killed run said is not kept
    }

    void realPlayerSizes_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("640x480") << 640 << 480;
        QTest::newRow("1024x944") << 1024 << 944;
        QTest::newRow("1024x945") << 1024 << 945;
        QTest::newRow("1280x720") << 1280 << 720;
        QTest::newRow("1280x768") << 1280 << 768;
    }

    void realPlayerSizes()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QVERIFY2(QFile::exists(adapter), qPrintable(adapter));
        const QString clip = makeClip(QString("clip-%1x%2.avi").arg(width).arg(height), width, height);
        MediaInfo info(clip, adapter);
        QCOMPARE(info.getWidth(), width);
        QCOMPARE(info.getHeight(), height);
        QCOMPARE(info.getDemuxer(), QString("avi"));
        QVERIFY(info.getLength() != QString("0.0"));
    }

    void realPlayerOnNonMedia()
    {
        const QString text = tmp.filePath("notes.txt");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("just some words\n");
        f.close();
        for (const QString &path : {text, tmp.filePath("missing.avi")}) {
            MediaInfo info(path, adapter);
            QCOMPARE(info.getWidth(), 0);
            QCOMPARE(info.getHeight(), 0);
        }
    }

    void realPlayerOnAFifoIsBounded()
    {
        const QString fifo = tmp.filePath("stream.avi");
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        MediaInfo::setProbeTimeoutMs(800);
        QElapsedTimer t;
        t.start();
        MediaInfo info(fifo, adapter);
        MediaInfo::setProbeTimeoutMs(10000);
        QVERIFY(t.elapsed() < 4000);
        QCOMPARE(info.getWidth(), 0);
    }

    void hostileAndForeignNames()
    {
        const QString source = makeClip("plain.avi", 320, 240);
        const QStringList names = {"$(touch pwned).avi", "`touch pwned`.avi", "it's \"x\" \\.avi",
                                   QString::fromUtf8("Фильм 电影.avi"), "-rf.avi"};
        for (const QString &name : names) {
            const QString path = tmp.filePath(name);
            QVERIFY(QFile::copy(source, path));
            MediaInfo info(path, adapter);
            QCOMPARE(info.getWidth(), 320);
            QCOMPARE(info.getHeight(), 240);
        }
        QVERIFY(!QFile::exists("pwned"));
        QVERIFY(!QFile::exists(tmp.filePath("pwned")));
    }
};

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
