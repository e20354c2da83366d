// Long and hostile runs: many play/stop cycles, players that will not end or
// will not stop talking, settings files nobody should have, huge folders and
// folders that are gone.

#include "platform/lm.h"
#include "platform/zconfig.h"
#include "platform/zlistbox.h"
#include "platform/zsettingitem.h"
#include "playback/mediainfo.h"
#include "playback/playbacklimits.h"
#include "playback/playerpipe.h"
#include "settings/devicecontrol.h"
#include "settings/systemsettings.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

namespace {

// Reads lines into input.log until "quit". FAKE_PLAYER chooses otherwise:
// "deaf" reads nothing; "stubborn" ignores its input, end-of-file and
// SIGTERM; "flood" keeps printing from a background process of its own for
// as long as it runs; "die" ends at once; "real" is Debian's MPlayer through
// the adapter, without picture or sound.
const char FakePlayer[] = R"(#!/bin/sh
here=$(dirname "$0")
if [ "$FAKE_PLAYER" = real ]; then
    exec "$MORVANE_ADAPTER" -vo null -ao null "$@" 2>/dev/null
fi
case " $* " in *" -identify "*) exit 0;; esac
printf 'started\n' >"$here/input.log"
[ "$FAKE_PLAYER" = die ] && exit 0
[ "$FAKE_PLAYER" = deaf ] && exec sleep 600
if [ "$FAKE_PLAYER" = stubborn ]; then
    trap '' TERM HUP INT
    while :; do sleep 1; done
fi
[ "$FAKE_PLAYER" = flood ] && yes "a line of player output that nobody reads" &
while IFS= read -r line; do
    printf '%s\n' "$line" >>"$here/input.log"
    [ "$line" = quit ] && exit 0
done
)";

int openDescriptors()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

long residentKiB()
{
    const QByteArray status = readFile(QStringLiteral("/proc/self/status"));
    for (const QByteArray &line : status.split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Every process whose parent is this one, zombies included, as "pid state".
QStringList childProcesses()
{
    QStringList found;
    const QString self = QString::number(getpid());
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QByteArray stat = readFile(it.filePath() + QStringLiteral("/stat"));
        // pid (comm) state ppid ...; comm may hold blanks and parentheses.
        const int close = stat.lastIndexOf(')');
        if (close < 0)
            continue;
        const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
        if (rest.size() > 1 && rest[1] == self.toLatin1())
            found << it.fileName() + QLatin1Char(' ') + QString::fromLatin1(rest[0]);
    }
    return found;
}

// Processes anywhere whose command line mentions the test's program
// directory or the folder of its media: the players, and whatever they
// started.
QStringList playersLeft(const QString &media)
{
    QStringList found;
    const QByteArray marker = testAppDir().toUtf8();
    const QByteArray mediaMarker = media.toUtf8();
    QDirIterator it(QStringLiteral("/proc"), QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        if (it.fileName() == QString::number(getpid()))
            continue;
        QByteArray cmdline = readFile(it.filePath() + QStringLiteral("/cmdline"));
        cmdline.replace('\0', ' ');
        if (cmdline.contains(marker) || cmdline.contains(mediaMarker))
            found << it.fileName() + QLatin1Char(' ') + QString::fromUtf8(cmdline);
    }
    return found;
}

} // namespace

class RobustnessTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QString clip;
    QString bigClip;

    std::unique_ptr<ZFileSelectDialog> window()
    {
        auto w = std::make_unique<ZFileSelectDialog>();
        w->show();
        return w;
    }

    void play(ZFileSelectDialog &w)
    {
        QFile::remove(dirFile("input.log"));
        w.playFile(clip);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dirFile("input.log")), 5000);
    }

    void stop(ZFileSelectDialog &w)
    {
        QTest::keyClick(&w, Qt::Key_F2);
        QVERIFY(!WindowInspector::playing(w));
    }

    void writeSettings(const QByteArray &bytes)
    {
        writeFile(dirFile("mplayer.ini"), bytes);
    }

    QString quitAndReadLastDir(ZFileSelectDialog &w)
    {
        QMetaObject::invokeMethod(&w, "slotQuit");
        return ZConfig(dirFile("mplayer.ini"), false).readEntry("FILESELECT", "LASTDIR", "(none)");
    }

private slots:
    void initTestCase()
    {
        writeFile(dirFile("mplayer"), FakePlayer);
        QFile::setPermissions(dirFile("mplayer"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("MORVANE_ADAPTER", MORVANE_APPDIR "/mplayer");
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        DeviceControl::setShellRunner([](const QByteArray &) { return 0; });
        clip = tmp.filePath("film.avi");
        writeFile(clip, "not really a film");
    }

    void cleanupTestCase()
    {
        DeviceControl::setShellRunner({});
    }

    void init()
    {
        qunsetenv("FAKE_PLAYER");
        writeSettings("[FILESELECT]\nLASTDIR=" + tmp.path().toUtf8() + "\n");
    }

    void cleanup()
    {
        QVERIFY2(playersLeft(tmp.path()).isEmpty(), qPrintable(playersLeft(tmp.path()).join(", ")));
        QVERIFY2(childProcesses().isEmpty(), qPrintable(childProcesses().join(", ")));
    }

    void manyPlayStopCyclesLeaveNothingBehind()
    {
        auto w = window();
        // Warm up first: the first runs allocate what stays for good (the
        // socket notifier machinery, icon caches, the shell's environment).
        for (int i = 0; i < 10; ++i) {
            play(*w);
            stop(*w);
        }
        const int fdsBefore = openDescriptors();
        const long rssBefore = residentKiB();
        for (int i = 0; i < 200; ++i) {
            play(*w);
            if (i % 2)
                QTest::keyClick(w.get(), Qt::Key_Right);
            stop(*w);
            QCOMPARE(childProcesses(), QStringList());
        }
        QCOMPARE(openDescriptors(), fdsBefore);
        // 200 cycles that each kept a few hundred bytes would show; allow
        // for the allocator's own noise.
        QVERIFY2(residentKiB() - rssBefore < 1024,
                 qPrintable(QStringLiteral("RSS grew from %1 KiB to %2 KiB").arg(rssBefore).arg(residentKiB())));
        QVERIFY(WindowInspector::list(*w)->isVisible());
    }

    void keysAndStopAgainstMisbehavingPlayers_data()
    {
        QTest::addColumn<QByteArray>("player");
        QTest::addColumn<int>("stopBoundMs");
        QTest::newRow("quits when told") << QByteArray() << 200;
        QTest::newRow("reads nothing") << QByteArray("deaf") << 1000;
        QTest::newRow("ignores quit and TERM") << QByteArray("stubborn") << 1000;
    }

    // 600 keys, far more than the socket holds, are each answered at once;
    // F2 brings the list back within its bound and leaves no process.
    void keysAndStopAgainstMisbehavingPlayers()
    {
        QFETCH(QByteArray, player);
        QFETCH(int, stopBoundMs);
        qputenv("FAKE_PLAYER", player);
        auto w = window();
        play(*w);
        QElapsedTimer t;
        qint64 slowest = 0;
        for (int i = 0; i < 600; ++i) {
            t.start();
            QTest::keyClick(w.get(), i % 2 ? Qt::Key_Right : Qt::Key_Left);
            slowest = std::max(slowest, t.elapsed());
        }
        QVERIFY2(slowest < 2000, qPrintable(QString::number(slowest)));
        if (player.isEmpty()) // a player that reads gets every command
            QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(dirFile("input.log"))).count("seek"), 600, 10000);
        t.start();
        stop(*w);
        QVERIFY2(t.elapsed() < stopBoundMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(WindowInspector::list(*w)->isVisible());
        QCOMPARE(playersLeft(tmp.path()), QStringList());
        QCOMPARE(childProcesses(), QStringList());
    }

    // A player that could not open the file, crashed or is missing: the
    // list comes back by itself, as after F2.
    void playerThatEndsAtOnce()
    {
        qputenv("FAKE_PLAYER", "die");
        auto w = window();
        LM_resetDisplayTimerState();
        play(*w);
        QTRY_VERIFY_WITH_TIMEOUT(!WindowInspector::playing(*w), 2000);
        QVERIFY(WindowInspector::list(*w)->isVisible());
        QVERIFY(!w->isFullScreenMode());
        QCOMPARE(LM_displayTimerState().calls, 1);
        QCOMPARE(childProcesses(), QStringList());
    }

    void unplayableFilesWithTheRealPlayer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO with no writer") << "fifo";
        QTest::newRow("link to /dev/zero") << "zero";
    }

    // Choosing them answers keys within 2 s and F2 within 1 s; they are
    // played without a probe.
    void unplayableFilesWithTheRealPlayer()
    {
        QFETCH(QString, kind);
        const QString path = tmp.filePath(kind + ".avi");
        QFile::remove(path);
        if (kind == "fifo")
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(QFile::link("/dev/zero", path));
        qputenv("FAKE_PLAYER", "real");
        const QString runs = tmp.filePath("runs.log");
        QFile::remove(runs);
        qputenv("MORVANE_PLAYER_LOG", runs.toUtf8());
        auto w = window();
        QElapsedTimer t;
        t.start();
        w->playFile(path);
        for (int i = 0; i < 400; ++i)
            QTest::keyClick(w.get(), Qt::Key_Right);
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QTest::qWait(300); // the player is under way, whatever it does
        t.start();
        stop(*w);
        QVERIFY2(t.elapsed() < 1000, qPrintable(QString::number(t.elapsed())));
        qunsetenv("MORVANE_PLAYER_LOG");
        // Played without a probe: only a regular file is probed.
        const QByteArray log = readFile(runs);
        QVERIFY2(log.contains("[-slave]") && !log.contains("[-identify]"), log.constData());
        QCOMPARE(playersLeft(tmp.path()), QStringList());
        QCOMPARE(childProcesses(), QStringList());
    }

    void hostileProgramDirectories_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("command substitution") << "$(touch pwned)";
        QTest::newRow("semicolons") << "a;touch pwned;b";
        QTest::newRow("quote and blank") << "my app's dir";
    }

    // Nothing runs from the directory's name; the probe still works through
    // it and the play command still reaches the player.
    void hostileProgramDirectories()
    {
        QFETCH(QString, name);
        if (bigClip.isEmpty()) {
            bigClip = tmp.filePath("big.avi");
            QProcess ffmpeg;
            ffmpeg.start("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=1280x768:rate=5",
                                    "-t", "0.4", "-c:v", "mpeg4", bigClip});
            QVERIFY(ffmpeg.waitForFinished(60000));
            QCOMPARE(ffmpeg.exitCode(), 0);
        }
        const QString dir = tmp.filePath(name) + "/";
        QVERIFY(QDir().mkpath(dir));
        writeFile(dir + "mplayer", R"(#!/bin/sh
case " $* " in *" -identify "*) exec "$MORVANE_ADAPTER" "$@";; esac
printf '%s\n' "$@" >"$(dirname "$0")/args.log"
)");
        QFile::setPermissions(dir + "mplayer", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        // The probe's time bound is not what is tested here.
        const int saved = MediaInfo::probeTimeoutMs();
        MediaInfo::setProbeTimeoutMs(30000);
        const MediaInfo info(bigClip, dir + "/mplayer");
        MediaInfo::setProbeTimeoutMs(saved);
        QCOMPARE(info.getWidth(), 1280);
        QVERIFY(needsScaling(info.getWidth(), info.getHeight()));
        FILE *p = openPlayerPipe(("exec " + playCommandLine(dir, bigClip, true)).toLocal8Bit().constData());
        QVERIFY(p);
        QTRY_VERIFY_WITH_TIMEOUT(readFile(dir + "args.log").contains(bigClip.toUtf8() + "\n"), 10000);
        closePlayerPipe(p);
        const QStringList args = QString::fromUtf8(readFile(dir + "args.log")).split('\n', Qt::SkipEmptyParts);
        QVERIFY(args.contains("scale=320:240"));
        QCOMPARE(args.last(), bigClip);
        for (const QString &where : {QDir::currentPath(), tmp.path(), dir})
            QVERIFY2(!QFile::exists(where + "/pwned"), qPrintable(where));
    }

    void playerThatFloodsItsOutput()
    {
        qputenv("FAKE_PLAYER", "flood");
        auto w = window();
        play(*w);
        // Let it fill any buffer there is, several times over.
        QTest::qWait(500);
        for (int i = 0; i < 20; ++i) {
            QTest::keyClick(w.get(), Qt::Key_Right);
            QTest::qWait(10);
        }
        QTRY_COMPARE_WITH_TIMEOUT(QString::fromUtf8(readFile(dirFile("input.log"))).count("seek +30"), 20, 5000);
        stop(*w);
    }

    void unusableSettingsFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("empty") << QByteArray();
        QByteArray garbage(256 * 1024, '\0');
        QRandomGenerator gen(42);
        for (char &c : garbage)
            c = char(gen.bounded(256));
        QTest::newRow("binary garbage") << garbage;
        QByteArray lines = "[FILESELECT]\n";
        QTest::newRow("group with no keys") << lines;
        QTest::newRow("line without end") << QByteArray("[FILESELECT]\nLASTDIR=");
    }

    // The window opens with the defaults, and quitting stores the folder
    // shown so that the next start finds it.
    void unusableSettingsFiles()
    {
        QFETCH(QByteArray, contents);
        writeSettings(contents);
        auto w = window();
        w->openDir(tmp.path());
        QCOMPARE(quitAndReadLastDir(*w), QDir(tmp.path()).canonicalPath());
    }

    void tenMegabyteSettingsFile()
    {
        QByteArray big = "# a settings file grown by hand\n[FILESELECT]\nLASTDIR=" + tmp.path().toUtf8()
            + "\nFILTER=*.avi\n[NOTES]\n";
        for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
            big += "note" + QByteArray::number(i) + "=something the user keeps here, " + QByteArray(60, 'x') + "\n";
        writeSettings(big);
        auto w = window();
        QCOMPARE(WindowInspector::currentDir(*w), QDir(tmp.path()).canonicalPath());
        const QString other = tmp.filePath("other");
        QDir().mkpath(other);
        w->openDir(other);
        QCOMPARE(quitAndReadLastDir(*w), QDir(other).canonicalPath());
        // Everything else is still there, byte for byte.
        QByteArray expected = big;
        expected.replace("LASTDIR=" + tmp.path().toUtf8() + "\n", "LASTDIR=" + QDir(other).canonicalPath().toUtf8() + "\n");
        QCOMPARE(readFile(dirFile("mplayer.ini")), expected);
    }

    void hundredThousandEntries()
    {
        // In memory where there is a tmpfs: 100,000 entries on a disk take
        // longer to make than to list.
        QTemporaryDir where(QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm/morvane-big-XXXXXX")
                                                      : tmp.filePath("big-XXXXXX"));
        QVERIFY(where.isValid());
        const QString big = where.path();
        QDir dir(big);
        for (int i = 0; i < 50000; ++i) {
            QVERIFY(dir.mkdir(QStringLiteral("folder-%1").arg(i, 5, 10, QLatin1Char('0'))));
            QFile f(dir.filePath(QStringLiteral("film-%1.avi").arg(i, 5, 10, QLatin1Char('0'))));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        auto w = window();
        const int fdsBefore = openDescriptors();
        w->openDir(big);
        ZListBox *list = WindowInspector::list(*w);
        QCOMPARE(list->count(), 100001);
        QCOMPARE(list->item(1)->getSubItemText(1, 0), QString("folder-00000"));
        QCOMPARE(list->item(100000)->getSubItemText(1, 0), QString("film-49999.avi"));
        // The end of the list is one key away, and the rows still choose.
        list->setFocus();
        QTest::keyClick(list, Qt::Key_End);
        QCOMPARE(list->currentItem(), 100000);
        QTest::keyClick(list, Qt::Key_Home);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(WindowInspector::currentDir(*w), QDir(big + "/folder-00000").canonicalPath());
        QCOMPARE(list->count(), 1);
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(list->count(), 100001);
        QCOMPARE(openDescriptors(), fdsBefore);
    }
};

MORVANE_GUI_TEST_MAIN(RobustnessTest)
#include "tst_robustness.moc"
