// Playback: keys and states, the command line, the CPU speed and display timer around it.

#include "platform/lm.h"
#include "playback/playbacklimits.h"
#include "testsupport.h"
#include <QLabel>

namespace {

const QString Fixed = "mplayer -af channels=2,resample=44100:0:0 -autosync 0 -mc 0 -slave -quiet "
                      "-idle -framedrop -font /usr/language/fonts/AMCSL.TTF ";

struct KeysRow
{
    QList<Qt::Key> keys;
    QList<QEvent::Type> focus;
    QStringList sent;
    bool paused;
};

// restore empty: the high-speed option is off.
struct StopRow
{
    QByteArray player, op;
    int timeout;
    QList<QByteArray> restore;
};

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

    void focus(QEvent::Type type)
    {
        QEvent e(type);
        QApplication::sendEvent(w.get(), &e);
    }

private slots:
    void initTestCase()
    {
        useFakePlayer();
        DeviceControl::setShellRunner([this](const QByteArray &c) {
            commands << c;
            return 0;
        });
        writeFile(clip = tmp.filePath("film.avi"), "not really a film");
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
        commands.clear();
    }

    void keysAndStates_data()
    {
        QTest::addColumn<KeysRow>("row");
        const QEvent::Type in = QEvent::WindowActivate, out = QEvent::WindowDeactivate;
        const QList<Qt::Key> all{Qt::Key_Right, Qt::Key_Left, Qt::Key_3, Qt::Key_1,
                                 Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_F1, Qt::Key_2,
                                 Qt::Key_Up, Qt::Key_Return};
        QTest::newRow("every key, and two outside the table") << KeysRow{all, {},
            {"seek +30", "seek -30", "seek +300", "seek -300", "volume 1", "volume 0", "osd",
             "pause"}, true};
        const QList<Qt::Key> seekWhilePaused{Qt::Key_Return, Qt::Key_Right, Qt::Key_Return,
                                             Qt::Key_Return};
        QTest::newRow("pause, seek, pause twice")
            << KeysRow{seekWhilePaused, {}, {"pause", "seek +30", "pause", "pause"}, false};
        QTest::newRow("paused: deactivate, activate twice, deactivate twice")
            << KeysRow{{Qt::Key_Return}, {out, in, in, out, out}, QStringList(3, "pause"), true};
    }

    // F2 sends "quit" alone, paused or not; then, idle, keys are only printed.
    void keysAndStates()
    {
        QFETCH(KeysRow, row);
        startPlaying(*w, clip);
        QVERIFY(w->isFullScreenMode());
        QLabel *titleBar = w->findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(!titleBar->isVisible());
        for (Qt::Key key : row.keys)
            QTest::keyClick(w.get(), key);
        for (QEvent::Type type : row.focus)
            focus(type);
        QCOMPARE(WindowInspector::paused(*w), row.paused);
        QTest::keyClick(w.get(), Qt::Key_F2);
        QVERIFY(!WindowInspector::paused(*w));
        QCOMPARE(logLines("input.log"), row.sent << "quit"); // complete: the player has ended
        const int timerCalls = LM_displayTimerState().calls;
        StdoutCapture out;
        QTest::keyClick(w.get(), Qt::Key_Right);
        QTest::keyClick(w.get(), Qt::Key_F2);
        focus(QEvent::WindowDeactivate);
        focus(QEvent::WindowActivate);
        const QStringList printed{"pressed 0x1014", "pressed 0x1031", "WindowDeactivate"};
        QCOMPARE(out.lines(), printed);
        QCOMPARE(LM_displayTimerState().calls, timerCalls);
    }

    // The frame's size decides scaling.
    void scaling()
    {
        const struct { int width, height; bool scaled; } rows[] = {
            {1024, 944, false}, {1024, 945, true}, {1280, 720, false}, {1280, 768, true}};
        for (auto r : rows)
            QCOMPARE(needsScaling(r.width, r.height), r.scaled);
    }

    void commandLineText() // % stands for the player's fixed text
    {
        const struct { const char *dir, *path; bool scale; QString expected; } rows[] = {
            {"/mnt/card/mplayer/", "/mnt/a.avi", false, "/mnt/card/mplayer/% '/mnt/a.avi'"},
            {"", "it's.avi", true, "%-vf scale=320:240  'it'\\''s.avi'"},
            {"/app's $(touch pwned)/", "/a.avi", false, "'/app'\\''s $(touch pwned)/'% '/a.avi'"}};
        for (auto r : rows)
            QCOMPARE(playCommandLine(r.dir, r.path, r.scale), r.expected.replace('%', Fixed));
    }

    // Commands wait for a player that floods first; a stuck player's do not reach the next.
    void waitingCommands()
    {
        for (const QByteArray mode : {"flood", "deaf", ""}) {
            qputenv("FAKE_PLAYER", mode);
            startPlaying(*w, clip);
            for (int i = 0; !mode.isEmpty() && i < 400; ++i) // far more than the socket holds
                w->sendCommand(QByteArray(999, 'x').append('\n').constData());
            QTest::keyClick(w.get(), Qt::Key_Right);
            const QString input = dirFile("input.log");
            if (mode == "flood")
                QTRY_VERIFY_WITH_TIMEOUT(readFile(input).endsWith("x\nseek +30\n"), 10000);
            QTest::keyClick(w.get(), Qt::Key_F2);
        }
        QCOMPARE(logLines("input.log"), (QStringList{"seek +30", "quit"}));
    }

    void stopRestoresTimerAndCpu_data()
    {
        QTest::addColumn<StopRow>("row");
        const QByteArray pm = "pmtool -d 0", op = "echo 333 >/sys/mpm/op";
        QTest::newRow("off, timeout 77") << StopRow{"", "333\n", 77, {}};
        QTest::newRow("four digits") << StopRow{"", "1234\n", -1, {pm, "echo 123 >/sys/mpm/op"}};
        QTest::newRow("player ends by itself") << StopRow{"die", "333\n", 5, {pm, op}};
    }

    // The stop, by F2 or the player's end, brings the list back, restores CPU speed and timer.
    void stopRestoresTimerAndCpu()
    {
        QFETCH(StopRow, row);
        writeFile(tmp.filePath("op"), row.op);
        DeviceControl::setCpuOperatingPointPath(tmp.filePath("op"));
        const QByteArray timeout = QByteArray::number(row.timeout);
        writeFile(tmp.filePath("system.cfg"), "[SYS_SYSTEM_SET]\nDisplayTimeout=" + timeout + "\n");
        setSystemSettingsPath(tmp.filePath(row.timeout < 0 ? "none.cfg" : "system.cfg"));
        ZFileSelectDialog other;
        other.applyCpuSpeed(false);
        WindowInspector::setHiSpeed(other, !row.restore.isEmpty());
        LM_resetDisplayTimerState();
        qputenv("FAKE_PLAYER", row.player);
        startPlaying(other, clip);
        if (row.player.isEmpty())
            QTest::keyClick(&other, Qt::Key_F2);
        QTRY_VERIFY_WITH_TIMEOUT(!WindowInspector::playing(other), 2000);
        QVERIFY(!WindowInspector::list(other)->isHidden());
        QVERIFY(!other.isFullScreenMode());
        QVERIFY(noChildren());
        const QList<QByteArray> raise = {"pmtool -d 0", "echo 532 >/sys/mpm/op"};
        const QList<QByteArray> raised = row.restore.isEmpty() ? QList<QByteArray>() : raise;
        QCOMPARE(commands, QList<QByteArray>{"pmtool -d 0"} + raised + row.restore);
        const DisplayTimerState timer = LM_displayTimerState();
        QCOMPARE(timer.calls, 1);
        QCOMPARE(timer.mode, 0);
        QCOMPARE(timer.timeout, row.timeout);
    }
};

MORVANE_GUI_TEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
