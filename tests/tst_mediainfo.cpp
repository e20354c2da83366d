// The media probe: its parser, small fake players, and Debian's MPlayer on real clips.

#include "playback/mediainfo.h"
#include "testsupport.h"

static QString described(const MediaInfo &i)
{
    return QString("%1 %2 %3 %4 %5 %6").arg(i.getWidth()).arg(i.getHeight()).arg(i.getLength()).arg(i.getBitrate())
        .arg(i.getFps(), i.getDemuxer());
}

static const QString Defaults = "0 0 0.0 0 0.0 unknow";

// size empty: a text file, a missing one or a FIFO; dir: a program folder of this name, with the adapter linked in.
struct RealRow { QString name, size, dir; };
Q_DECLARE_METATYPE(RealRow)

class MediaInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(tmp.path())); } // where a command run from a name would leave "pwned"

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

    // Pieces are cut at 79 bytes (70 bytes of padding push a key across); a probe that stalls is cut off and tells nothing.
    void fakePlayers()
    {
        const struct { QByteArray script; QString expected; } rows[] = {
            {"printf '%070d ID_VIDEO_WIDTH=640\\n' 0\nprintf 'ID_VIDEO_HEIGHT=480\\nID_LENGTH=12.5'", "0 480 12.5 0 0.0 unknow"},
            {"echo ID_VIDEO_WIDTH=640; exec sleep 60", Defaults}};
        MediaInfo::setProbeTimeoutMs(1000);
        for (const auto &r : rows) {
            writeScript(tmp.filePath("mplayer"), "#!/bin/sh\n" + r.script);
            QElapsedTimer t;
            t.start();
            const MediaInfo info("a.avi", tmp.filePath("mplayer"));
            QVERIFY2(t.elapsed() < 4000, QByteArray::number(t.elapsed()).constData());
            QCOMPARE(described(info), r.expected);
        }
    }

    void realPlayer_data()
    {
        QTest::addColumn<RealRow>("row");
        for (const char *size : {"640x480", "1024x944", "1280x720"})
            QTest::newRow(size) << RealRow{"clip.avi", size, ""};
        QTest::newRow("1024x945, folder $(touch pwned)") << RealRow{"clip.avi", "1024x945", "$(touch pwned)"};
        QTest::newRow("1280x768, folder a;touch pwned;b") << RealRow{"clip.avi", "1280x768", "a;touch pwned;b"};
        QTest::newRow("hostile name, folder my app's dir")
            << RealRow{QString::fromUtf8("$(touch pwned) `touch pwned` it's \"x\" \\ Фильм 电影.avi"), "320x240", "my app's dir"};
        QTest::newRow("text file") << RealRow{"notes.txt", "", ""};
        QTest::newRow("missing file") << RealRow{"missing.avi", "", ""};
        QTest::newRow("FIFO") << RealRow{"stream.avi", "", ""};
    }

    void realPlayer()
    {
        QFETCH(RealRow, row);
        const QString path = tmp.filePath(row.name), player = row.dir.isEmpty() ? MORVANE_APPDIR "/mplayer" : tmp.filePath(row.dir + "/mplayer");
        if (!row.size.isEmpty())
            QCOMPARE(QProcess::execute("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=rate=5:size=" + row.size + ",format=rgb24",
                                                  "-t", "0.4", "-c:v", "rawvideo", "-pix_fmt", "bgr24", path}), 0);
        else if (row.name == "notes.txt")
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        else if (row.name == "stream.avi")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (!row.dir.isEmpty())
            QVERIFY(QDir().mkpath(tmp.filePath(row.dir)) && QFile::link(MORVANE_APPDIR "/mplayer", player));
        // A real probe on a busy machine may take long; a FIFO must not.
        MediaInfo::setProbeTimeoutMs(row.name == "stream.avi" ? 800 : 30000);
        const MediaInfo info(path, player);
        QCOMPARE(QString("%1x%2 %3").arg(info.getWidth()).arg(info.getHeight()).arg(info.getDemuxer()),
                 row.size.isEmpty() ? "0x0 unknow" : row.size + " avi");
        QVERIFY(!QFile::exists(tmp.filePath("pwned")));
    }
};

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
