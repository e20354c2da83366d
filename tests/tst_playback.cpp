#include "platform/lm.h"
#include "playback/playbacklimits.h"
#include "testsupport.h"
#include <QLabel>

const QString Fixed = "mplayer -af channels=2,resample=44100:0:0 -autosync 0 -mc 0 -slave -quiet "
                      "-idle -framedrop -font /usr/language/fonts/AMCSL.TTF ";

struct StopRow
{
    QByteArray player, op;
    int timeout;
    QList<QByteArray> restore;
};

Q_DECLARE_METATYPE(StopRow)

class PlaybackTest : public QObject
{
    Q_OBJECT

    QTemporaryDir tmp;
    QList<QByteArray> commands;
    QString clip;

private slots:
    void initTestCase()
    {
        useFakePlayer();
        DeviceControl::setShellRunner([this](const QByteArray &c) {
            commands << c;
            return 0;
        });
        writeFile(clip = tmp.filePath("film.avi"), "not really a film");
    }

    void keysAndStates()
    {
        ZFileSelectDialog w;
        w.show();
        const auto focus = [&w](QEvent::Type type) {
            QEvent e(type);
            QApplication::sendEvent(&w, &e);
        };
        startPlaying(w, clip);
        QVERIFY(w.isFullScreenMode());
        QVERIFY(!w.findChild<QLabel *>(QString(), Qt::FindDirectChildrenOnly)->isVisible());
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Left, Qt::Key_3, Qt::Key_1, Qt::Key_PageUp,
                            Qt::Key_PageDown, Qt::Key_F1, Qt::Key_2, Qt::Key_Return,
                            Qt::Key_Right, Qt::Key_Return, Qt::Key_Return, Qt::Key_Return})
            QTest::keyClick(&w, key);
        const QEvent::Type in = QEvent::WindowActivate, out = QEvent::WindowDeactivate;
        for (QEvent::Type type : {out, in, in, out, out})
            focus(type);
        QVERIFY(w.isPaused());
        QTest::keyClick(&w, Qt::Key_F2);
        QVERIFY(!w.isPaused());
        const QStringList sent{"seek +30", "seek -30", "seek +300", "seek -300", "volume 1",
                               "volume 0", "osd", "pause", "seek +30"};
        QCOMPARE(logLines("input.log"), sent + QStringList(5, "pause") << "quit");
        const int timerCalls = LM_displayTimerState().calls;
        StdoutCapture printed;
        QTest::keyClick(&w, Qt::Key_Right);
        QTest::keyClick(&w, Qt::Key_F2);
        focus(out);
        focus(in);
        const QStringList lines{"pressed 0x1014", "pressed 0x1031", "WindowDeactivate"};
        QCOMPARE(printed.lines(), lines);
        QCOMPARE(LM_displayTimerState().calls, timerCalls);
    }

    void scaling()
    {
        const struct { int width, height; bool scaled; } rows[] = {
            {1024, 944, false}, {1024, 945, true}, {1280, 720, false}, {1280, 768, true}};
        for (auto r : rows)
            QCOMPARE(needsScaling(r.width, r.height), r.scaled);
    }

    void commandLineText() // %: the player's fixed text
    {
        const struct { const char *dir, *path; bool scale; QString expected; } rows[] = {
            {"", "it's.avi", true, "%-vf scale=320:240  'it'\\''s.avi'"},
            {"/app's $(touch pwned)/", "/a.avi", false, "'/app'\\''s $(touch pwned)/'% '/a.avi'"}};
        for (auto r : rows)
            QCOMPARE(playCommandLine(r.dir, r.path, r.scale), r.expected.replace('%', Fixed));
    }

    // Commands wait for a player that floods; a stuck player's do not reach the next.
    void waitingCommands()
    {
        ZFileSelectDialog w;
        for (const QByteArray mode : {"flood", "stubborn", ""}) {
            qputenv("FAKE_PLAYER", mode);
            startPlaying(w, clip);
            for (int i = 0; !mode.isEmpty() && i < 400; ++i) // far more than the socket holds
                w.sendCommand(QByteArray(999, 'x').append('\n').constData());
            QTest::keyClick(&w, Qt::Key_Right);
            if (mode == "flood")
                QTRY_VERIFY_WITH_TIMEOUT(logLines("input.log").endsWith("seek +30"), 10000);
            QTest::keyClick(&w, Qt::Key_F2);
        }
        QCOMPARE(logLines("input.log"), (QStringList{"seek +30", "quit"}));
    }

    void stopRestoresTimerAndCpu_data()
    {
        QTest::addColumn<StopRow>("row");
        QTest::newRow("off, timeout 77") << StopRow{"", "333\n", 77, {}};
        QTest::newRow("ends by itself, four digits")
            << StopRow{"die", "1234\n", -1, {"pmtool -d 0", "echo 123 >/sys/mpm/op"}};
    }

    void stopRestoresTimerAndCpu()
    {
        QFETCH(StopRow, row);
        commands.clear();
        writeFile(tmp.filePath("op"), row.op);
        DeviceControl::setCpuOperatingPointPath(tmp.filePath("op"));
        writeFile(tmp.filePath("system.cfg"),
                  "[SYS_SYSTEM_SET]\nDisplayTimeout=" + QByteArray::number(row.timeout) + "\n");
        setSystemSettingsPath(tmp.filePath(row.timeout < 0 ? "none.cfg" : "system.cfg"));
        ZFileSelectDialog w;
        w.applyCpuSpeed(false);
        WindowInspector::setHiSpeed(w, !row.restore.isEmpty());
        LM_resetDisplayTimerState();
        qputenv("FAKE_PLAYER", row.player);
        startPlaying(w, clip);
        if (row.player.isEmpty())
            QTest::keyClick(&w, Qt::Key_F2);
        QTRY_VERIFY_WITH_TIMEOUT(!w.isPlaying(), 2000);
        QList<QByteArray> expected{"pmtool -d 0"};
        if (!row.restore.isEmpty())
            expected << "pmtool -d 0" << "echo 532 >/sys/mpm/op" << row.restore;
        QCOMPARE(commands, expected);
        const DisplayTimerState timer = LM_displayTimerState();
        QCOMPARE(timer.calls, 1);
        QCOMPARE(timer.mode, 0);
        QCOMPARE(timer.timeout, row.timeout);
    }
};

MORVANE_GUI_TEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
