// Playback against a fake player, with the CPU operating point and the display timer around it.

#include "platform/lm.h"
#include "playback/playbacklimits.h"
#include "settings/devicecontrol.h"
#include "testsupport.h"
#include <QLabel>
#include <memory>

namespace {

// Notes its arguments in args.log, its input in input.log. FAKE_PLAYER: "flood" prints 4 MB first, "die" ends, "deaf" reads nothing.
const char FakePlayer[] = R"(#!/bin/sh
here=$(dirname "$0")
case " $* " in *" -identify "*) cat "$here/identify.txt" 2>/dev/null; exit 0;; esac
printf '%s\n' "$@" >"$here/args.log"
: >"$here/input.log"
[ "$FAKE_PLAYER" = die ] && exit 0
[ "$FAKE_PLAYER" = deaf ] && exec sleep 600
[ "$FAKE_PLAYER" = flood ] && head -c 4000000 /dev/zero
while IFS= read -r line; do printf '%s\n' "$line" >>"$here/input.log"; [ "$line" = quit ] && exit 0; done
)";

const QStringList FixedArgs = {"-af", "channels=2,resample=44100:0:0", "-autosync", "0", "-mc", "0", "-slave",
                               "-quiet", "-idle", "-framedrop", "-font", "/usr/language/fonts/AMCSL.TTF"};

QStringList lines(const char *name) { return QString::fromUtf8(readFile(dirFile(name))).split('\n', Qt::SkipEmptyParts); }

const QHash<char, Qt::Key> Keys = {{'R', Qt::Key_Right}, {'L', Qt::Key_Left}, {'3', Qt::Key_3}, {'1', Qt::Key_1}, {'U', Qt::Key_PageUp},
    {'D', Qt::Key_PageDown}, {'O', Qt::Key_F1}, {'E', Qt::Key_Return}, {'S', Qt::Key_F2}, {'2', Qt::Key_2}, {'^', Qt::Key_Up}};

struct KeysRow { QByteArray script; QStringList sent; bool paused; };
// restore empty: the high-speed option is off; op null: no operating-point file.
struct StopRow { QByteArray player, op; int timeout; QList<QByteArray> restore; };

} // namespace

Q_DECLARE_METATYPE(KeysRow)
Q_DECLARE_METATYPE(StopRow)

class PlaybackTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    std::unique_ptr<ZFileSelectDialog> w;
    QList<QByteArray> commands;
    QString clip;

    // Presses keys by token; A and I activate and deactivate the window.
    void drive(const char *script)
    {
        for (const char *c = script; *c; ++c) {
            QEvent e(*c == 'A' ? QEvent::WindowActivate : QEvent::WindowDeactivate);
            if (*c == 'A' || *c == 'I')
                QApplication::sendEvent(w.get(), &e);
            else
                QTest::keyClick(w.get(), Keys.value(*c));
        }
    }

    void play(ZFileSelectDialog &win, const QString &path)
    {
        QFile::remove(dirFile("input.log"));
        win.playFile(path);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dirFile("input.log")), 5000);
    }

private slots:
    void initTestCase()
    {
        writeScript(dirFile("mplayer"), FakePlayer);
        setSystemSettingsPath(tmp.filePath("none.cfg"));
        DeviceControl::setShellRunner([this](const QByteArray &c) { return commands << c, 0; });
        DeviceControl::setCpuOperatingPointPath(tmp.filePath("op"));
        writeFile(clip = tmp.filePath("film.avi"), "not really a film");
        w = std::make_unique<ZFileSelectDialog>();
        w->show();
    }

    void cleanupTestCase() { w.reset(), DeviceControl::setShellRunner({}); }
    void init() { qunsetenv("FAKE_PLAYER"), QFile::remove(dirFile("identify.txt")), commands.clear(); }
    void cleanup() { WindowInspector::playing(*w) ? drive("S") : void(); }

    void keysAndStates_data()
    {
        QTest::addColumn<KeysRow>("row");
        QTest::newRow("every key") << KeysRow{"RL31UDOE", {"seek +30", "seek -30", "seek +300", "seek -300", "volume 1",
                                                           "volume 0", "osd", "pause"}, true};
        QTest::newRow("pause twice") << KeysRow{"EE", {"pause", "pause"}, false};
        QTest::newRow("pause, seek, pause") << KeysRow{"ERE", {"pause", "seek +30", "pause"}, true};
        QTest::newRow("paused: deactivate, activate") << KeysRow{"EIA", {"pause", "pause"}, false};
        QTest::newRow("playing: activate, deactivate x2") << KeysRow{"AII", {"pause"}, true};
        QTest::newRow("keys outside the table") << KeysRow{"E2^", {"pause"}, true};
    }

    // Every row ends with F2, paused or not: "quit" alone, and the list back; then, idle, keys are only printed.
    void keysAndStates()
    {
        QFETCH(KeysRow, row);
        play(*w, clip);
        QVERIFY(WindowInspector::playing(*w) && w->isFullScreenMode() && !WindowInspector::list(*w)->isVisible());
        QVERIFY(!w->findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly)->isVisible()); // nor the title bar
        drive(row.script);
        QCOMPARE(WindowInspector::paused(*w), row.paused);
        drive("S");
        const int timerCalls = LM_displayTimerState().calls;
        StdoutCapture out;
        drive("RSIA");
        QCOMPARE(out.lines(), (QStringList{"pressed 0x1014", "pressed 0x1031", "WindowDeactivate"}));
        QCOMPARE(lines("input.log"), row.sent << "quit"); // complete: the player has ended
        QVERIFY(!WindowInspector::playing(*w) && !WindowInspector::paused(*w) && !w->isFullScreenMode());
        QVERIFY(WindowInspector::list(*w)->isVisible() && !WindowInspector::pipe(*w) && noChildren());
        QCOMPARE(LM_displayTimerState().calls, timerCalls);
    }

    // The probe's size decides scaling.
    void playerArguments()
    {
        const struct { int width, height; bool scaled; } rows[] = {{1024, 944, false}, {1024, 945, true}, {1280, 720, false}, {1280, 768, true}};
        for (auto r : rows) {
            writeFile(dirFile("identify.txt"), QString("ID_VIDEO_WIDTH=%1\nID_VIDEO_HEIGHT=%2\n").arg(r.width).arg(r.height).toUtf8());
            play(*w, clip);
            QCOMPARE(lines("args.log"), FixedArgs + (r.scaled ? QStringList{"-vf", "scale=320:240"} : QStringList()) << clip);
            drive("S");
        }
    }

    void commandLineText() // % stands for the player's fixed text
    {
        const struct { const char *dir, *path; bool scale; QString expected; } rows[] = {
            {"/mnt/card/mplayer/", "/mnt/card/a.avi", false, "/mnt/card/mplayer/% '/mnt/card/a.avi'"},
            {"/opt/m/", "/x/big.mkv", true, "/opt/m/%-vf scale=320:240  '/x/big.mkv'"},
            {"", "it's.avi", false, "% 'it'\\''s.avi'"}, {"/my app's $(touch pwned)/", "/a.avi", false, "'/my app'\\''s $(touch pwned)/'% '/a.avi'"}};
        for (auto r : rows)
            QCOMPARE(playCommandLine(r.dir, r.path, r.scale), r.expected.replace('%', "mplayer " + FixedArgs.join(' ') + " "));
    }

    // Commands wait for a player that floods its output first; those a stuck player never took do not reach the next.
    void waitingCommands()
    {
        for (const QByteArray mode : {"flood", "deaf", ""}) {
            qputenv("FAKE_PLAYER", mode);
            play(*w, clip);
            for (int i = 0; !mode.isEmpty() && i < 400; ++i) // far more than the socket holds
                w->sendCommand(QByteArray(999, 'x').append('\n').constData());
            drive("R");
            if (mode == "flood")
                QTRY_VERIFY_WITH_TIMEOUT(readFile(dirFile("input.log")).endsWith("x\nseek +30\n"), 10000);
            drive("S");
        }
        QCOMPARE(lines("input.log"), (QStringList{"seek +30", "quit"}));
    }

    void stopRestoresTimerAndCpu_data()
    {
        QTest::addColumn<StopRow>("row");
        const QByteArray pm = "pmtool -d 0", op333 = "echo 333 >/sys/mpm/op";
        QTest::newRow("off, timeout 77") << StopRow{"", "333\n", 77, {}};
        QTest::newRow("four digits") << StopRow{"", "1234\n", -1, {pm, "echo 123 >/sys/mpm/op"}};
        QTest::newRow("leading zeros") << StopRow{"", "052", -1, {pm, "echo 52 >/sys/mpm/op"}};
        QTest::newRow("not a number") << StopRow{"", "fast\n", -1, {pm}};
        QTest::newRow("missing") << StopRow{"", QByteArray(), -1, {pm}};
        QTest::newRow("player ends by itself") << StopRow{"die", "333\n", 5, {pm, op333}};
    }

    // The stop, by F2 or the player's own end, restores what playback raised (no saved point: none) and resets the timer.
    void stopRestoresTimerAndCpu()
    {
        QFETCH(StopRow, row);
        writeFile(tmp.filePath("op"), row.op);
        DeviceControl::setCpuOperatingPointPath(tmp.filePath(row.op.isNull() ? "none" : "op"));
        writeFile(tmp.filePath("system.cfg"), "[SYS_SYSTEM_SET]\nDisplayTimeout=" + QByteArray::number(row.timeout) + "\n");
        setSystemSettingsPath(tmp.filePath(row.timeout < 0 ? "none.cfg" : "system.cfg"));
        ZFileSelectDialog other;
        other.applyCpuSpeed(false);
        WindowInspector::setHiSpeed(other, !row.restore.isEmpty());
        LM_resetDisplayTimerState();
        qputenv("FAKE_PLAYER", row.player);
        play(other, clip);
        if (row.player.isEmpty())
            QTest::keyClick(&other, Qt::Key_F2);
        QTRY_VERIFY_WITH_TIMEOUT(!WindowInspector::playing(other), 2000);
        QVERIFY(!WindowInspector::list(other)->isHidden() && !other.isFullScreenMode() && !WindowInspector::pipe(other));
        const QList<QByteArray> raise = {"pmtool -d 0", "echo 532 >/sys/mpm/op"};
        QCOMPARE(commands, QList<QByteArray>{"pmtool -d 0"} + (row.restore.isEmpty() ? QList<QByteArray>() : raise) + row.restore);
        const DisplayTimerState timer = LM_displayTimerState();
        QVERIFY(timer.calls == 1 && timer.mode == 0 && timer.timeout == row.timeout && noChildren());
    }
};

MORVANE_GUI_TEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
