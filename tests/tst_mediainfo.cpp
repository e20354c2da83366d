// The media probe: its parser, small fake players, and Debian's MPlayer on real clips.

#include "playback/mediainfo.h"
#include "testsupport.h"

// What a probe found; the defaults are those of a file that tells nothing.
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
Q_DECLARE_METATYPE(Info)

static QString found(const MediaInfo &i)
{
    return Info{i.getWidth(), i.getHeight(), i.getLength(), i.getBitrate(), i.getFps(),
                i.getDemuxer()}.text();
}

// A clip of `size` (none: a text file, a missing one, a FIFO), probed by the player linked into
// `folder` (none: the program's).
struct RealRow { QString name; QSize size; QString folder; };
Q_DECLARE_METATYPE(RealRow)

class MediaInfoTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(tmp.path())); } // where "pwned" would be made

    void parser_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<Info>("expected");
        QTest::newRow("nothing") << QStringList() << Info{};
        const QStringList all{"ID_DEMUXER=avi\n", "ID_LENGTH=93.50\n", "ID_VIDEO_FPS=23.976\n",
                              "ID_VIDEO_BITRATE=492672\n", "ID_VIDEO_WIDTH=640\n",
                              "ID_VIDEO_HEIGHT=480"};
        QTest::newRow("every key") << all << Info{640, 480, "93.50", 492672, "23.976", "avi"};
        QTest::newRow("first word only")
            << QStringList{"ID_DEMUXER=lavf matroska\n"} << Info{.demuxer = "lavf"};
        QTest::newRow("exact case only") << QStringList{"id_video_width=640\n"} << Info{};
        QTest::newRow("key inside a line")
            << QStringList{"ID_FILENAME=/films/ID_LENGTH.avi\n"} << Info{.length = ""};
        QTest::newRow("key not at the start")
            << QStringList{"ID_VIDEO_WIDTH=320\n", "X ID_VIDEO_WIDTH=640\n"} << Info{.width = 320};
        QTest::newRow("first key of the table decides")
            << QStringList{"ID_VIDEO_WIDTH=640 ID_DEMUXER=mkv\n"} << Info{.demuxer = ""};
        QTest::newRow("last value wins")
            << QStringList{"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=1280\n"} << Info{.width = 1280};
        QTest::newRow("no number")
            << QStringList{"ID_VIDEO_WIDTH=320\n", "ID_VIDEO_WIDTH=abc\n", "ID_VIDEO_HEIGHT= -12"}
            << Info{.width = 320, .height = -12};
    }

    void parser()
    {
        QFETCH(QStringList, lines);
        QFETCH(Info, expected);
        MediaInfo info = MediaInfo::unprobed();
        for (const QString &line : lines)
            info.parseIdentifyLine(line);
        QCOMPARE(found(info), expected.text());
    }

    // The player is one word, only quoted where the shell would read its name.
    void commandLine()
    {
        const struct { const char *media, *player, *expected; } rows[] = {
            {"/card/a b.avi", "/opt/m//mplayer", "/opt/m//mplayer -identify \"/card/a b.avi\""},
            {"a\"$`\\.avi", "p", "p -identify \"a\\\"\\$\\`\\\\.avi\""},
            {"a", "/my app's $(x)/mplayer", "'/my app'\\''s $(x)/mplayer' -identify \"a\""},
            {"a", "/aAzZ09-_.+,:@%/\u0080Фи/m", "/aAzZ09-_.+,:@%/\u0080Фи/m -identify \"a\""}};
        for (auto r : rows) {
            const QString media = QString::fromUtf8(r.media), player = QString::fromUtf8(r.player);
            QCOMPARE(MediaInfo::identifyCommand(media, player),
                     QString::fromUtf8(r.expected) + " -nosound -vc dummy -vo null");
        }
    }

    // Pieces are cut at 79 bytes (70 bytes of padding push a key across); a stalled probe is cut
    // off and tells nothing.
    void fakePlayers()
    {
        const struct { QByteArray script; Info expected; } rows[] = {
            {"printf '%070d ID_VIDEO_WIDTH=640\\n' 0\n"
             "printf 'ID_VIDEO_HEIGHT=480\\nID_LENGTH=12.5'",
             Info{.height = 480, .length = "12.5"}},
            {"echo ID_VIDEO_WIDTH=640; exec sleep 60", Info{}}};
        MediaInfo::setProbeTimeoutMs(1000);
        for (const auto &r : rows) {
            writeScript(tmp.filePath("mplayer"), "#!/bin/sh\n" + r.script);
            QElapsedTimer t;
            t.start();
            const MediaInfo info("a.avi", tmp.filePath("mplayer"));
            QVERIFY2(t.elapsed() < 4000, QByteArray::number(t.elapsed()).constData());
            QCOMPARE(found(info), r.expected.text());
        }
    }

    void realPlayer_data()
    {
        QTest::addColumn<RealRow>("row");
        QTest::newRow("640x480") << RealRow{"clip.avi", {640, 480}, ""};
        const char *hostile = "$(touch pwned) `touch pwned` it's \"x\" \\ Фильм.avi";
        QTest::newRow("hostile name and folder")
            << RealRow{QString::fromUtf8(hostile), {1024, 945}, "my app's $(touch pwned);x"};
        for (const char *name : {"notes.txt", "missing.avi", "stream.avi"})
            QTest::newRow(name) << RealRow{name, {}, ""};
    }

    void realPlayer()
    {
        QFETCH(RealRow, row);
        const QString path = tmp.filePath(row.name);
        const QString size = QString("size=%1x%2").arg(row.size.width()).arg(row.size.height());
        QString player = MORVANE_APPDIR "/mplayer";
        if (!row.folder.isEmpty()) {
            QVERIFY(QDir().mkpath(tmp.filePath(row.folder)));
            QVERIFY(QFile::link(player, tmp.filePath(row.folder + "/mplayer")));
            player = tmp.filePath(row.folder + "/mplayer");
        }
        const QStringList ffmpeg{"-v", "error", "-f", "lavfi", "-i", "testsrc=rate=5:" + size,
                                 "-t", "0.4", "-c:v", "rawvideo", "-pix_fmt", "bgr24", path};
        if (row.size.isValid())
            QCOMPARE(QProcess::execute("ffmpeg", ffmpeg), 0);
        else if (row.name == "notes.txt")
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        else if (row.name == "stream.avi")
            QCOMPARE(mkfifo(qPrintable(path), 0600), 0);
        // A real probe on a busy machine may take long; a FIFO must not.
        MediaInfo::setProbeTimeoutMs(row.name == "stream.avi" ? 800 : 30000);
        const MediaInfo info(path, player);
        const bool clip = row.size.isValid();
        QCOMPARE(QSize(info.getWidth(), info.getHeight()), clip ? row.size : QSize(0, 0));
        QCOMPARE(info.getDemuxer(), clip ? "avi" : "unknow");
        QVERIFY(!QFile::exists(tmp.filePath("pwned")));
    }
};

QTEST_GUILESS_MAIN(MediaInfoTest)
#include "tst_mediainfo.moc"
