// Playback control against a player that records what it is told, the CPU
// operating point and display timer around it, and one run of the real
// MPlayer.

#include "platform/lm.h"
#include "platform/zlistbox.h"
#include "playback/playbacklimits.h"
#include "settings/devicecontrol.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// The player in the test's program directory. An identify run prints
// identify.txt; a play run notes its arguments in args.log, one per line, and
// every line it reads in input.log. FAKE_PLAYER chooses other behaviour:
// "flood" prints 4 MB before it reads anything, "real"
// hands over to Debian's MPlayer through the adapter, without picture or
// sound, its messages in real.log.
const char FakePlayer[] = R"(#!/bin/sh
here=$(dirname "$0")
case " $* " in *" -identify "*) [ -f "$here/identify.txt" ] && cat "$here/identify.txt"; exit 0;; esac
if [ "$FAKE_PLAYER" = real ]; then
    exec "$MORVANE_ADAPTER" -vo null -ao null "$@" >"$here/real.log" 2>&1
fi
: >"$here/args.log"
for a; do printf '%s\n' "$a" >>"$here/args.log"; done
printf 'started\n' >"$here/input.log"
[ "$FAKE_PLAYER" = flood ] && head -c 4000000 /dev/zero
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$here/input.log"
    [ "$line" = quit ] && exit 0
done
)";

QStringList inputLines()
{
    QStringList lines = QString::fromUtf8(readFile(dirFile("input.log"))).split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (!lines.isEmpty() && lines.first() == "started")
        lines.removeFirst();
    return lines;
}

QStringList playerArgs()
{
    QStringList args = QString::fromUtf8(readFile(dirFile("args.log"))).split('\n');
    if (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

} // namespace

class PlaybackTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<ZFileSelectDialog> w;
    QList<QByteArray> commands;
    QString clip;

    void key(int qtKey)
    {
        QTest::keyClick(w.get(), Qt::Key(qtKey));
    }

    void send(QEvent::Type type)
    {
        QEvent e(type);
        QApplication::sendEvent(w.get(), &e);
    }

    // Waits until the player has read `count` lines, then a little longer to
    // catch any line that should not have come.
    QStringList settle(int count)
    {
        QElapsedTimer t;
        t.start();
        while (inputLines().size() < count && t.elapsed() < 5000)
            QTest::qWait(10);
        QTest::qWait(50);
        return inputLines();
    }

    void play(const QString &path)
    {
        QFile::remove(dirFile("input.log"));
        w->playFile(path);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dirFile("input.log")), 5000);
    }

private slots:
    void initTestCase()
    {
        writeFile(dirFile("mplayer"), FakePlayer);
        QFile::setPermissions(dirFile("mplayer"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("MORVANE_ADAPTER", MORVANE_APPDIR "/mplayer");
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        writeFile(dirFile("mplayer.ini"), "[FILESELECT]\nLASTDIR=" + tmp.path().toUtf8() + "\n");
        DeviceControl::setShellRunner([this](const QByteArray &c) {
            commands << c;
            return 0;
        });
        DeviceControl::setCpuOperatingPointPath(tmp.filePath("op"));
        clip = tmp.filePath("film.avi");
        writeFile(clip, "not really a film");
        w = std::make_unique<ZFileSelectDialog>();
        w->show();
    }

    void cleanupTestCase()
    {
        w.reset();
        DeviceControl::setShellRunner({});
    }

    void init()
    {
        qunsetenv("FAKE_PLAYER");
        QFile::remove(dirFile("identify.txt"));
        WindowInspector::setHiSpeed(*w, false);
        commands.clear();
    }

    void cleanup()
    {
        if (WindowInspector::playing(*w))
            key(Qt::Key_F2);
    }

    void everyKeyOfTheTable()
    {
        play(clip);
        QVERIFY(WindowInspector::playing(*w));
        QVERIFY(!WindowInspector::list(*w)->isVisible());
        QVERIFY(w->isFullScreenMode());
        StdoutCapture out;
        for (int k : {Qt::Key_Right, Qt::Key_Left, Qt::Key_3, Qt::Key_1, Qt::Key_PageUp,
                      Qt::Key_PageDown, Qt::Key_F1, Qt::Key_Return})
            key(k);
        QCOMPARE(settle(8), (QStringList{"seek +30", "seek -30", "seek +300", "seek -300",
                                         "volume 1", "volume 0", "osd", "pause"}));
        QVERIFY(WindowInspector::paused(*w));
        key(Qt::Key_F2);
        QCOMPARE(inputLines().last(), QString("quit"));
        const QStringList printed = out.lines();
        QCOMPARE(printed, (QStringList{"pressed 0x1014", "pressed 0x1012", "pressed 0x33",
                                           "pressed 0x31", "pressed 0x1016", "pressed 0x1017",
                                           "pressed 0x1030", "pressed 0x1004", "pressed 0x1031"}));
        QVERIFY(!WindowInspector::playing(*w));
        QVERIFY(!WindowInspector::paused(*w));
        QVERIFY(WindowInspector::list(*w)->isVisible());
        QVERIFY(!w->isFullScreenMode());
        QVERIFY(!WindowInspector::pipe(*w));
    }

    void pauseStates()
    {
        play(clip);
        key(Qt::Key_Return);
        key(Qt::Key_Return);
        QCOMPARE(settle(2), (QStringList{"pause", "pause"}));
        QVERIFY(!WindowInspector::paused(*w));

        key(Qt::Key_Return);
        key(Qt::Key_Right);
        QCOMPARE(settle(4).mid(2), (QStringList{"pause", "seek +30"}));
        QVERIFY(!WindowInspector::paused(*w));
        key(Qt::Key_Return);
        QVERIFY(WindowInspector::paused(*w));

        // Paused, then deactivated: nothing more is sent; activation resumes.
        StdoutCapture out;
        send(QEvent::WindowDeactivate);
        QVERIFY(WindowInspector::paused(*w));
        send(QEvent::WindowActivate);
        QVERIFY(!WindowInspector::paused(*w));
        QCOMPARE(out.lines(), QStringList{"WindowDeactivate"});
        QCOMPARE(settle(6).mid(4), (QStringList{"pause", "pause"}));

        // Playing: activation sends nothing, deactivation pauses.
        send(QEvent::WindowActivate);
        send(QEvent::WindowDeactivate);
        QVERIFY(WindowInspector::paused(*w));
        send(QEvent::WindowDeactivate);
        QCOMPARE(settle(7).mid(6), QStringList{"pause"});

        // Keys outside the table change nothing.
        key(Qt::Key_2);
        key(Qt::Key_Up);
        QVERIFY(WindowInspector::paused(*w));

        // Stop while paused: "quit" with no "pause" before it.
        key(Qt::Key_F2);
        QCOMPARE(inputLines().mid(7), QStringList{"quit"});
        QVERIFY(!WindowInspector::playing(*w));
    }

    void idleWindowIgnoresKeysAndActivation()
    {
        QVERIFY(!WindowInspector::playing(*w));
        const int timerCalls = LM_displayTimerState().calls;
        StdoutCapture out;
        key(Qt::Key_Right);
        key(Qt::Key_F2);
        send(QEvent::WindowDeactivate);
        send(QEvent::WindowActivate);
        QCOMPARE(out.lines(), (QStringList{"pressed 0x1014", "pressed 0x1031", "WindowDeactivate"}));
        QVERIFY(!WindowInspector::paused(*w));
        QCOMPARE(LM_displayTimerState().calls, timerCalls);
    }

    void frameSizes()
    {
        QCOMPARE(frameBufferSize(1024, 944), 1449984);
        QCOMPARE(frameBufferSize(1024, 945), 1462272);
        QCOMPARE(frameBufferSize(1280, 720), 1382400);
        QCOMPARE(frameBufferSize(1280, 768), 1474560);
        QCOMPARE(frameBufferSize(0, 0), 0);
        QCOMPARE(frameBufferSize(1, 1), 128);
        QVERIFY(!needsScaling(1024, 944));
        QVERIFY(needsScaling(1024, 945));
        QVERIFY(!needsScaling(1280, 720));
        QVERIFY(needsScaling(1280, 768));
        QVERIFY(!needsScaling(0, 0));
    }

    void scaleFilterFollowsTheProbe_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("scaled");
        QTest::newRow("1024x944") << 1024 << 944 << false;
        QTest::newRow("1024x945") << 1024 << 945 << true;
        QTest::newRow("1280x768") << 1280 << 768 << true;
        QTest::newRow("unknown") << 0 << 0 << false;
    }

    void scaleFilterFollowsTheProbe()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, scaled);
        if (width)
            writeFile(dirFile("identify.txt"), QString("ID_VIDEO_WIDTH=%1\nID_VIDEO_HEIGHT=%2\n")
                                                   .arg(width).arg(height).toUtf8());
        play(clip);
        const QStringList args = playerArgs();
        QCOMPARE(args.contains("scale=320:240"), scaled);
        QCOMPARE(args.last(), clip);
    }

    void commandLineText()
    {
        const QString fixed = "mplayer -af channels=2,resample=44100:0:0 -autosync 0 -mc 0 -slave "
                              "-quiet -idle -framedrop -font /usr/language/fonts/AMCSL.TTF ";
        QCOMPARE(playCommandLine("/mnt/card/mplayer/", "/mnt/card/a.avi", false),
                 "/mnt/card/mplayer/" + fixed + " '/mnt/card/a.avi'");
        QCOMPARE(playCommandLine("/opt/m/", "/x/big.mkv", true),
                 "/opt/m/" + fixed + "-vf scale=320:240  '/x/big.mkv'");
        QCOMPARE(playCommandLine("", "a.avi", false), fixed + " 'a.avi'");
        QCOMPARE(playCommandLine("/o/", "/x/it's.avi", false), "/o/" + fixed + " '/x/it'\\''s.avi'");
        QCOMPARE(playCommandLine("/my apps/", "/a.avi", false), "'/my apps/'" + fixed + " '/a.avi'");
    }

    void hostileNamesReachThePlayer()
    {
        const QStringList names = {"it's.avi", "a'; touch pwned; '.avi", "$(touch pwned).avi",
                                   "`touch pwned`.avi", "two  spaces\ttab.avi", "-rf.avi",
                                   "\"q\" \\ x.avi", QString::fromUtf8("Фильм 电影.avi")};
        for (const QString &name : names) {
            const QString path = tmp.filePath(name);
            writeFile(path, "x");
            play(path);
            QCOMPARE(playerArgs().last(), path);
            key(Qt::Key_F2);
        }
        QVERIFY(!QFile::exists(tmp.filePath("pwned")));
        QVERIFY(!QFile::exists("pwned"));
    }

    void chattyPlayerDoesNotStall()
    {
        qputenv("FAKE_PLAYER", "flood");
        play(clip);
        key(Qt::Key_Right);
        // The player reads its commands only once all its output is gone.
        QTRY_COMPARE_WITH_TIMEOUT(inputLines(), QStringList{"seek +30"}, 10000);
    }

    void displayTimerOnStop()
    {
        play(clip);
        LM_resetDisplayTimerState();
        key(Qt::Key_F2);
        QCOMPARE(LM_displayTimerState().calls, 1);
        QCOMPARE(LM_displayTimerState().mode, 0);
        QCOMPARE(LM_displayTimerState().timeout, -1);
        QVERIFY(commands.isEmpty()); // high-speed mode off: no command at all

        const QString system = tmp.filePath("system.cfg");
        writeFile(system, "[SYS_SYSTEM_SET]\nDisplayTimeout=77\n");
        setSystemSettingsPath(system);
        ZFileSelectDialog other;
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        other.playFile(clip);
        QTest::keyClick(&other, Qt::Key_F2);
        QCOMPARE(LM_displayTimerState().calls, 2);
        QCOMPARE(LM_displayTimerState().timeout, 77);
    }

    void highSpeedAroundPlayback_data()
    {
        QTest::addColumn<QByteArray>("op");
        QTest::addColumn<QList<QByteArray>>("restore");
        QTest::newRow("three digits") << QByteArray("333\n")
                                      << QList<QByteArray>{"pmtool -d 0", "echo 333 >/sys/mpm/op"};
        QTest::newRow("four digits") << QByteArray("1234\n")
                                     << QList<QByteArray>{"pmtool -d 0", "echo 123 >/sys/mpm/op"};
        QTest::newRow("leading zeros") << QByteArray("052")
                                       << QList<QByteArray>{"pmtool -d 0", "echo 52 >/sys/mpm/op"};
        QTest::newRow("not a number") << QByteArray("fast\n") << QList<QByteArray>{"pmtool -d 0"};
        QTest::newRow("empty") << QByteArray() << QList<QByteArray>{"pmtool -d 0"};
        QTest::newRow("missing") << QByteArray("<none>") << QList<QByteArray>{"pmtool -d 0"};
    }

    void highSpeedAroundPlayback()
    {
        QFETCH(QByteArray, op);
        QFETCH(QList<QByteArray>, restore);
        QFile::remove(tmp.filePath("op"));
        if (op != "<none>")
            writeFile(tmp.filePath("op"), op);
        WindowInspector::setHiSpeed(*w, true);
        play(clip);
        QCOMPARE(commands, (QList<QByteArray>{"pmtool -d 0", "echo 532 >/sys/mpm/op"}));
        commands.clear();
        LM_resetDisplayTimerState();
        key(Qt::Key_F2);
        QCOMPARE(commands, restore);
        QCOMPARE(LM_displayTimerState().calls, 1);
    }

    void restoreWithNothingRecordedWritesNothing()
    {
        ZFileSelectDialog fresh;
        fresh.applyCpuSpeed(false);
        QCOMPARE(commands, QList<QByteArray>{"pmtool -d 0"});
    }

    void realPlayer()
    {
        const QString real = tmp.filePath("real.avi");
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=320x240:rate=25",
                                "-f", "lavfi", "-i", "sine=frequency=440", "-t", "60", "-c:v", "mpeg4",
                                "-c:a", "mp3", "-shortest", real});
        QVERIFY(ffmpeg.waitForFinished(120000));
        QCOMPARE(ffmpeg.exitCode(), 0);
        qputenv("FAKE_PLAYER", "real");
        QFile::remove(dirFile("real.log"));
        w->playFile(real);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(dirFile("real.log")).contains("Starting playback"), 10000);
        const auto pausedNow = [this] {
            w->sendCommand("pausing_keep_force get_property pause\n");
            QTest::qWait(300);
            const QByteArray log = readFile(dirFile("real.log"));
            return log.mid(log.lastIndexOf("ANS_pause=")).left(13);
        };
        for (int k : {Qt::Key_Right, Qt::Key_PageDown, Qt::Key_PageUp, Qt::Key_F1}) {
            key(k);
            QTest::qWait(150);
        }
        QCOMPARE(pausedNow(), QByteArray("ANS_pause=no\n"));
        key(Qt::Key_Return);
        QCOMPARE(pausedNow(), QByteArray("ANS_pause=yes"));
        key(Qt::Key_Return);
        QCOMPARE(pausedNow(), QByteArray("ANS_pause=no\n"));
        QElapsedTimer t;
        t.start();
        key(Qt::Key_F2);
        QVERIFY2(t.elapsed() < 1000, QByteArray::number(t.elapsed()).constData());
        QVERIFY(WindowInspector::list(*w)->isVisible());
        const QByteArray log = readFile(dirFile("real.log"));
        QVERIFY2(log.contains("Exiting... (Quit)"), log.right(400).constData());
        QVERIFY2(!log.contains("not found") && !log.contains("Unknown command"), log.constData());
        // No player is left.
        QProcess pgrep;
        pgrep.start("pgrep", {"-f", real});
        QVERIFY(pgrep.waitForFinished());
        QCOMPARE(pgrep.readAllStandardOutput(), QByteArray());
    }
};

MORVANE_GUI_TEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
