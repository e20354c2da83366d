// The media probe: the identify output's parser, the probe run with small
// fake players, and Debian's MPlayer through the adapter on real clips.

#include "playback/mediainfo.h"
#include <QtTest>
#include <sys/stat.h>

namespace {

QString described(const MediaInfo &i)
{
    return QString("%1 %2 %3 %4 %5 %6").arg(i.getWidth()).arg(i.getHeight()).arg(i.getLength()).arg(i.getBitrate())
        .arg(i.getFps(), i.getDemuxer());
}

const QString Defaults = "0 0 0.0 0 0.0 unknow";

} // namespace

class MediaInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void parser_data()
    {
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << QStringList() << Defaults;
        QTest::newRow("every key") << QStringList{"ID_DEMUXER=avi\n", "ID_LENGTH=93.50\n", "ID_VIDEO_FPS=23.976\n",
            "ID_VIDEO_BITRATE=492672\n", "ID_VIDEO_WIDTH=640\n", "ID_VIDEO_HEIGHT=480\n"} << "640 480 93.50 492672 23.976 avi";
        QTest::newRow("first word only") << QStringList{"ID_DEMUXER=lavf matroska\n"} << "0 0 0.0 0 0.0 lavf";
        QTest::newRow("exact case only") << QStringList{"id_video_width=640\n"} << Defaults;
        QTest::newRow("key inside a line") << QStringList{"ID_FILENAME=/films/ID_LENGTH.avi\n"} << "0 0  0 0.0 unknow";
        QTest::newRow("key not at the start") << QStringList{"ID_VIDEO_WIDTH=320\n", "X ID_VIDEO_WIDTH=640\n"} << "320 0 0.0 0 0.0 unknow";
        QTest::newRow("first key of the table decides") << QStringList{"ID_VIDEO_WIDTH=640 ID_DEMUXER=mkv\n"} << "0 0 0.0 0 0.0 ";
        QTest::newRow("last value wins") << QStringList{"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=1280\n"} << "1280 0 0.0 0 0.0 unknow";
        QTest::newRow("no number") << QStringList{"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=abc\n", "ID_VIDEO_HEIGHT= -12"}
                                   << "320 -12 0.0 0 0.0 unknow";
    }

    void parser()
    {
        QFETCH(QStringList, pieces);
        QFETCH(QString, expected);
        MediaInfo info = MediaInfo::unprobed();
        for (const QString &p : pieces)
            info.parseIdentifyLine(p);
        QCOMPARE(described(info), expected);
    }

    void commandLine() // the player is one word, only quoted where the shell would read its name
    {
        const struct { const char *media, *player, *expected; } rows[] = {
            {"/mnt/card/a b.avi", "/opt/m//mplayer", "/opt/m//mplayer -identify \"/mnt/card/a b.avi\""},
            {"a\"$`\\.avi", "p", "p -identify \"a\\\"\\$\\`\\\\.avi\""},
            {"a.avi", "/my app's $(x)//mplayer", "'/my app'\\''s $(x)//mplayer' -identify \"a.avi\""},
            {"a", "/aAzZ09-_.+,:@%/\u0080Фи/mplayer", "/aAzZ09-_.+,:@%/\u0080Фи/mplayer -identify \"a\""}};
        for (auto r : rows)
            QCOMPARE(MediaInfo::identifyCommand(QString::fromUtf8(r.media), QString::fromUtf8(r.player)),
                     QString::fromUtf8(r.expected) + " -nosound -vc dummy -vo null");
    }

    void fakePlayers_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QString>("expected");
        // 70 bytes of padding push the first key across the 79-byte boundary.
        QTest::newRow("79-byte pieces") << QByteArray("printf '%070d ID_VIDEO_WIDTH=640\\n' 0\n"
                                                      "printf 'ID_VIDEO_HEIGHT=480\\nID_LENGTH=12.5'")
                                        << "0 480 12.5 0 0.0 unknow";
        QTest::newRow("stalls: what it said is not kept") << QByteArray("echo ID_VIDEO_WIDTH=640; exec sleep 60") << Defaults;
    }

    void fakePlayers()
    {
        QFETCH(QByteArray, script);
        QFETCH(QString, expected);
        QFile f(tmp.filePath("mplayer"));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("#!/bin/sh\n" + script) > 0);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        MediaInfo::setProbeTimeoutMs(1000);
        QElapsedTimer t;
        t.start();
        const MediaInfo info("a.avi", f.fileName());
        QVERIFY2(t.elapsed() < 4000, QByteArray::number(t.elapsed()).constData());
        QCOMPARE(described(info), expected);
    }

    void realPlayer_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width"); // 0: no clip, but a text file, a missing one or a FIFO
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("dir"); // a program folder of this name, with the adapter linked in
        for (auto [w, h] : {std::pair{640, 480}, {1024, 944}, {1280, 720}})
            QTest::newRow(qPrintable(QString("%1x%2").arg(w).arg(h))) << "clip.avi" << w << h << "";
        QTest::newRow("1024x945, folder $(touch pwned)") << "clip.avi" << 1024 << 945 << "$(touch pwned)";
        QTest::newRow("1280x768, folder a;touch pwned;b") << "clip.avi" << 1280 << 768 << "a;touch pwned;b";
        QTest::newRow("hostile name, folder my app's dir")
            << QString::fromUtf8("$(touch pwned) `touch pwned` it's \"x\" \\ Фильм 电影.avi") << 320 << 240 << "my app's dir";
        QTest::newRow("text file") << "notes.txt" << 0 << 0 << "";
        QTest::newRow("missing file") << "missing.avi" << 0 << 0 << "";
        QTest::newRow("FIFO") << "stream.avi" << 0 << 0 << "";
    }

    void realPlayer()
    {
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, dir);
        const QString path = tmp.filePath(name), player = tmp.filePath(dir + "/mplayer");
        if (width)
            QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                QString("testsrc=size=%1x%2:rate=5,format=rgb24").arg(width).arg(height), "-t", "0.4", "-c:v",
                "rawvideo", "-pix_fmt", "bgr24", path}), 0);
        else if (name == "notes.txt")
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        else if (name == "stream.avi")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (!dir.isEmpty())
            QVERIFY(QDir().mkpath(tmp.filePath(dir)) && QFile::link(MORVANE_APPDIR "/mplayer", player));
        // A real probe on a busy machine may take long; a FIFO must not.
        MediaInfo::setProbeTimeoutMs(name == "stream.avi" ? 800 : 30000);
        QElapsedTimer t;
        t.start();
        const MediaInfo info(path, dir.isEmpty() ? MORVANE_APPDIR "/mplayer" : player);
        QVERIFY(t.elapsed() < 5000);
        QCOMPARE(QString("%1x%2 %3").arg(info.getWidth()).arg(info.getHeight()).arg(info.getDemuxer()),
                 QString("%1x%2 %3").arg(width).arg(height).arg(width ? "avi" : "unknow"));
        QVERIFY(!QFile::exists(tmp.filePath("pwned")) && !QFile::exists("pwned"));
    }
};

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
